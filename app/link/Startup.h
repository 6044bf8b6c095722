#pragma once
// Settings of the application object that every window relies on.

namespace qmt {

// Right after the application object exists: the 14-pixel default sans-serif
// font the fixed window geometry is drawn for, and C numeric conventions for
// the C library (the toolkit installs the user's locale; the program's own
// number texts do not depend on it, but nothing else should either).
void PrepareApplication();

// "QMT584_View" as the application's name and title; window captions stay as set.
void SetApplicationTitle();

} // namespace qmt
