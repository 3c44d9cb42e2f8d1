#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

// Shows the runs as the chosen display format does, and remembers whether one failed (a window
// that never painted, an input refused), so that the program says so by its exit status.
class FailureNotingReporter : public benchmark::BenchmarkReporter {
public:
    explicit FailureNotingReporter(benchmark::BenchmarkReporter* shown) : shown_(shown) {}

    bool ReportContext(const Context& context) override { return shown_->ReportContext(context); }
    void ReportRuns(const std::vector<Run>& report) override
    {
        for (const Run& run : report)
            failed_ = failed_ || run.error_occurred;
        shown_->ReportRuns(report);
    }
    void Finalize() override { shown_->Finalize(); }
    bool failed() const { return failed_; }

private:
    benchmark::BenchmarkReporter* shown_;
    bool failed_ = false;
};

} // namespace

// Benchmarks draw text and images, which needs a GUI application; the offscreen platform
// keeps them runnable without a display.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::benchmark::Initialize(&argc, argv);
    if (::benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    FailureNotingReporter reporter(::benchmark::CreateDefaultDisplayReporter());
    ::benchmark::RunSpecifiedBenchmarks(&reporter);
    ::benchmark::Shutdown();
    return reporter.failed() ? 1 : 0;
}
