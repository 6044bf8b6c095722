// Every text of the main window, the port dialog and the wait window fits
// its widget at the program's font.
#include "PidConfFixture.h"
#include "TextFit.h"

#include "link/TParCOM.h"
#include "link/TfMess.h"

namespace qmt::test {
namespace {

TEST_F(PidConfTest, EveryTextFits) {
    window->show();
    EXPECT_EQ(clippedTextReport(window.get()), "");

    TParCOM port;
    port.show();
    EXPECT_EQ(clippedTextReport(&port), "");

    TfMess wait(window.get());
    wait.show();
    EXPECT_EQ(clippedTextReport(&wait), "");
}

} // namespace
} // namespace qmt::test
