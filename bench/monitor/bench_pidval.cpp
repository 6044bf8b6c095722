// One read cycle of the values window against an immediate module: the four
// transactions alone, and the whole cycle with every cell changing and the
// window repainted. The difference is the window's own cost.
#include "FakeModule.h"
#include "FakeUi.h"

#include "config/ModuleConfig.h"
#include "link/RegisterAccess.h"
#include "link/Startup.h"
#include "monitor/TPidVal.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

void changeLiveValues(qmt::test::FakeModule& module, uint16_t step) {
    for (uint16_t p = 0; p < 3; ++p)
        for (uint16_t k = 0; k < 6; ++k)
            module.setReg(static_cast<uint16_t>(1040 + 8 * p + k),
                          static_cast<uint16_t>(step * 37 + p * 11 + k));
}

void FourTransactions(benchmark::State& state) {
    qmt::test::FakeModule module;
    uint16_t words[6];
    for (auto _ : state) {
        qmt::ReadRegisters(1040, 6, words);
        qmt::ReadRegisters(1048, 6, words);
        qmt::ReadRegisters(1056, 6, words);
        qmt::ReadRegisters(1024, 4, words);
        benchmark::DoNotOptimize(words);
        module.clearLog();
    }
}
BENCHMARK(FourTransactions);

void ReadCycleWithRepaint(benchmark::State& state) {
    qmt::test::FakeModule module;
    qmt::test::FakePrompts prompts;
    qmt::Config = {};
    qmt::ResetConfig();
    TPidVal window;
    if (state.range(0)) window.btAdvancedClick();
    window.show();
    uint16_t step = 0;
    for (auto _ : state) {
        state.PauseTiming();
        changeLiveValues(module, ++step);
        module.clearLog();
        state.ResumeTiming();
        window.btReadClick();
        window.repaint();
    }
    if (!prompts.shown.empty()) state.SkipWithError("the read cycle failed");
}
BENCHMARK(ReadCycleWithRepaint)->Arg(0)->Arg(1)->ArgName("expanded");

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    qmt::PrepareApplication();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
