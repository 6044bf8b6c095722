#include "monitor/TPidVal.h"

void TPidVal::btBrouseClick() {}
void TPidVal::chbLogClick() {}
void TPidVal::chbTrendClick() {}
void TPidVal::LogHeader() {}
void TPidVal::LogLine() {}
void TPidVal::TrendStart() {}
void TPidVal::TrendSamples() {}
void TPidVal::LogClose() {}
