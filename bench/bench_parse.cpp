// parse: bytes through the line buffer, the event code and each event's field
// cuts, with no window, against a plain split of the same bytes at line ends.

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <unistd.h>

#include "bots/protocol.h"
#include "figures.h"
#include "mixedstream.h"

namespace {

const std::string& stream()
{
    static const std::string bytes = MixedStream(200'000);
    return bytes;
}

// What the bot reads from its socket at a time.
constexpr std::size_t kChunk = 64 * 1024;

// What the arrival handler cuts from each line before it shows anything.
void cutLine(std::string_view line)
{
    using protocol::Event;
    line = protocol::afterPrompts(line);
    switch (protocol::eventOf(line)) {
    case Event::UserIn:
    case Event::UserJoin: {
        auto user = protocol::cutUser(line);
        benchmark::DoNotOptimize(user);
        break;
    }
    case Event::UserLeave: {
        auto name = protocol::cutLeave(line);
        benchmark::DoNotOptimize(name);
        break;
    }
    case Event::WhisperFrom: {
        auto said = protocol::cutWhisper(line);
        benchmark::DoNotOptimize(said);
        break;
    }
    case Event::Talk: {
        auto said = protocol::cutTalk(line);
        benchmark::DoNotOptimize(said);
        break;
    }
    case Event::Channel: {
        auto channel = protocol::cutChannel(line);
        benchmark::DoNotOptimize(channel);
        break;
    }
    case Event::Info: {
        auto text = protocol::quotedText(line);
        auto kick = protocol::kickBanOf(text.value_or(""), "bot1");
        benchmark::DoNotOptimize(kick);
        break;
    }
    case Event::Error: {
        auto text = protocol::quotedText(line);
        benchmark::DoNotOptimize(text);
        break;
    }
    case Event::Emote: {
        auto said = protocol::cutEmote(line);
        benchmark::DoNotOptimize(said);
        break;
    }
    case Event::Name: {
        auto name = protocol::cutBotName(line);
        benchmark::DoNotOptimize(name);
        break;
    }
    case Event::KeepAlive:
    case Event::LoginFailed:
    case Event::Other:
        break;
    }
}

void BM_Cuts(benchmark::State& state)
{
    const std::string& bytes = stream();
    std::string_view line;
    for (auto _ : state) {
        protocol::LineBuffer buffer;
        for (std::size_t at = 0; at < bytes.size(); at += kChunk) {
            buffer.append(std::string_view(bytes).substr(at, kChunk));
            while (buffer.takeLine(line))
                cutLine(line);
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

void BM_LineEnds(benchmark::State& state)
{
    const std::string& bytes = stream();
    for (auto _ : state) {
        const char* at = bytes.data();
        const char* end = at + bytes.size();
        while (const void* lf = std::memchr(at, '\n', std::size_t(end - at))) {
            std::string_view line(at, std::size_t(static_cast<const char*>(lf) - at));
            benchmark::DoNotOptimize(line);
            at = static_cast<const char*>(lf) + 1;
        }
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(bytes.size()));
}

BENCHMARK(BM_LineEnds)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_Cuts)->Repetitions(5)->ReportAggregatesOnly(true);

// Prints what the library prints and keeps each benchmark's median rate.
class RateReporter : public benchmark::ConsoleReporter {
public:
    RateReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const auto rate = run.counters.find("bytes_per_second");
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
                rate != run.counters.end())
                medians[run.run_name.function_name] = rate->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> medians;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    PrintTitle("parse: line and field cuts, no window");
    std::printf("  stream: %zu bytes, 200000 lines of every event code\n", stream().size());
    RateReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const double cuts = reporter.medians["BM_Cuts"] / 1e6;
    const double ends = reporter.medians["BM_LineEnds"] / 1e6;
    PrintFigure("cuts (LineBuffer, eventOf, the event's cut)", cuts, "MB/s", "median of 5");
    PrintFigure("baseline: split at line ends with memchr", ends, "MB/s", "median of 5");
    if (ends > 0)
        PrintGoal("ratio cuts / baseline", cuts / ends, "", ">= 0.25", cuts / ends >= 0.25);
    PrintLoad();
    return 0;
}
