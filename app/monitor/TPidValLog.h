#pragma once
// The value log and the trend hand-off that the values window keeps alive
// (TPidVal::logState / trendState), typed; created on first use.

class TPidVal;

namespace qmt {
class TrendHandOff;
class ValueLog;
} // namespace qmt

qmt::ValueLog& LogOf(TPidVal& window);
qmt::TrendHandOff& TrendOf(TPidVal& window);
