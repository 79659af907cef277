// The provider's answer benchmark. Generated statistics answers of 1, 4 and 16 MiB (about 30% of
// the bytes in service rows, 70% in traffic rows, the marker last) are each read by RapidJSON
// alone, with the provider's encoding and flags, and by the whole `CStatsSession::ParseStats`
// (a fresh list, the parse, the walk, the output keys and the list's release). The two are timed
// in turn, and the table shows the medians, their ratio and the whole cost per MiB, which stays
// flat while the flattening is linear.
//   flatten_benchmark [--repetitions N] [--sizes 1,4,16]
//   flatten_benchmark --dump FILE...     the list that each answer file gives, as bytes
//   flatten_benchmark --dump-generated   the same for the generated answers
// The dumps let two builds of the flattening (BENCH_SOURCE_ROOT) be compared byte for byte.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "provider/StatsJson.h"
#include "provider/StatsSession.h"
#include "provider/StatsStates.h"

namespace {

constexpr std::size_t kMiB = 1024 * 1024;

// cp1251 texts of the kind the service sends.
const char* const kServiceNames[] = {
    "\xC8\xED\xF2\xE5\xF0\xED\xE5\xF2",                  // Интернет
    "\xC0\xED\xE0\xEB\xEE\xE3\xEE\xE2\xEE\xE5 \xD2\xC2",  // Аналоговое ТВ
    "\xD2\xE5\xEB\xE5\xF4\xEE\xED\xE8\xFF",              // Телефония
};
const char* const kDirections[] = {
    "UkrEx",
    "\xC7\xE0\xF0\xF3\xE1\xE5\xE6\xED\xFB\xE9 (SatEx)",                           // Зарубежный (SatEx)
    "\xC8\xF2\xEE\xE3\xEE",                                                       // Итого
    "\xC2\xED\xF3\xF2\xF0\xE5\xED\xED\xE8\xE9 \xF2\xF0\xE0\xF4\xE8\xEA UkrEx",  // Внутренний трафик UkrEx
};
const char kModel[] = "\xC4\xEE\xEC\xE0\xF8\xED\xE8\xE9";  // Домашний

// An answer of about `size` bytes: the Internet and analogue TV services first (no digital TV, so
// two output keys are looked for in vain through the whole list), then more services up to 30% of
// the size; the month and day ranges, then daily ranges up to the size; the marker last.
class AnswerWriter {
public:
    explicit AnswerWriter(std::size_t size) : m_size(size) { m_text.reserve(size + 4096); }

    std::string Build() {
        const std::string tail = "\n],\n\"contract\":\"10-0042\",\n\"responseValue\":\"ok\"}\n";
        Add("{\n\"services\":[\n");
        Add("{\"code\":\"inet\",\"name\":\"%s\",\"balans\":152.5,\"saldo\":148.25,\"model\":\"%s 100\","
            "\"blocked\":false,\"limits\":{\"day\":1}}",
            kServiceNames[0], kModel);
        Add(",\n{\"code\":\"an_cable\",\"name\":\"%s\",\"balans\":-23.4}", kServiceNames[1]);
        for (unsigned n = 1; m_text.size() < m_size * 3 / 10; ++n) {
            Add(",\n{\"code\":\"s%06u\",\"name\":\"%s %u\",\"balans\":%d.%02u,\"saldo\":%d.%02u,\"fee\":%u,"
                "\"model\":\"%s %u\",\"blocked\":false,\"limits\":{\"day\":1}}",
                n, kServiceNames[Next() % 3], n, static_cast<int>(Next() % 2000) - 1000, Next() % 100,
                static_cast<int>(Next() % 2000) - 1000, Next() % 100, Next() % 500000000, kModel, Next() % 1000);
        }
        Add("\n],\n\"traffic\":[\n");
        for (unsigned n = 0; n < 2 || m_text.size() + tail.size() < m_size; ++n) {
            if (n == 0) Add("{\"range\":\"month\",\"rows\":[");
            else if (n == 1) Add(",\n{\"range\":\"day\",\"rows\":[");
            else Add(",\n{\"range\":\"d%06u\",\"rows\":[", n);
            for (unsigned row = 0; row < 4; ++row) {
                const unsigned long long under = (static_cast<unsigned long long>(Next()) << 3) + Next() % 1000;
                const unsigned long long over = Next() % 4 == 0 ? 0 : Next();
                Add("%s\n  {\"direction\":\"%s\",\"traffic\":%llu,\"underTraffic\":%llu,\"overTraffic\":%llu,"
                    "\"normalCost\":%u.%03u}",
                    row ? "," : "", kDirections[row], under + over, under, over, Next() % 200, Next() % 1000);
            }
            Add("]}");
        }
        m_text += tail;
        return std::move(m_text);
    }

private:
    __attribute__((format(printf, 2, 3))) void Add(const char* format, ...) {
        char line[512];
        va_list args;
        va_start(args, format);
        const int length = std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        m_text.append(line, static_cast<std::size_t>(length));
    }

    std::uint32_t Next() {  // xorshift: the same answer on every run
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }

    std::size_t m_size;
    std::string m_text;
    std::uint32_t m_state = 2463534242u;
};

volatile std::size_t g_sink;  // keeps the measured work from being optimised away

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "flatten_benchmark: %s\n", what);
    std::exit(1);
}

void ParseAlone(const kit::String& body) {
    provider::JsonDocument document;
    document.Parse<rapidjson::kParseIterativeFlag | rapidjson::kParseStopWhenDoneFlag>(
        body.c_str(), static_cast<std::size_t>(body.GetLength()));
    if (document.HasParseError() || !document.IsObject()) Fail("the generated answer does not parse");
    g_sink = g_sink + document.MemberCount();
}

int WholeFlatten(const kit::String& body) {
    CStatsSession session;
    session.ResetValueList();
    if (session.ParseStats(body) != provider::StateStatsGathered) Fail("ParseStats did not gather statistics");
    const int pairs = session.ValueList()->keys.GetSize();
    g_sink = g_sink + static_cast<std::size_t>(pairs);
    return pairs;
}

template <class Work>
double Milliseconds(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void Measure(const std::vector<int>& sizes, int repetitions) {
    std::printf("median of %d repetitions, parse and whole in turn\n\n", repetitions);
    std::printf("| answer | bytes | pairs | parse alone | whole ParseStats | ratio | whole per MiB |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (int mebibytes : sizes) {
        const std::string text = AnswerWriter(static_cast<std::size_t>(mebibytes) * kMiB).Build();
        const kit::String body(text);
        int pairs = 0;
        ParseAlone(body);  // warm the heap and the caches once
        WholeFlatten(body);
        std::vector<double> parse, whole;
        for (int i = 0; i < repetitions; ++i) {
            parse.push_back(Milliseconds([&] { ParseAlone(body); }));
            whole.push_back(Milliseconds([&] { pairs = WholeFlatten(body); }));
        }
        const double p = Median(parse), w = Median(whole);
        std::printf("| %d MiB | %zu | %d | %.2f ms | %.2f ms | %.2f | %.2f ms |\n", mebibytes, text.size(), pairs, p,
                    w, w / p, w * kMiB / static_cast<double>(text.size()));
        std::fflush(stdout);
    }
}

// Each pair as "<length>:<key> <length>:<value>\n", so that any byte of either shows.
void Dump(const std::string& name, const std::string& text) {
    CStatsSession session;
    session.ResetValueList();
    const int state = session.ParseStats(kit::String(std::string_view(text)));
    const host::StatsValueList& list = *session.ValueList();
    std::printf("== %s: state %d, %d keys, %d values\n", name.c_str(), state, list.keys.GetSize(),
                list.values.GetSize());
    for (int i = 0; i < list.keys.GetSize() && i < list.values.GetSize(); ++i) {
        std::printf("%d:", list.keys[i].GetLength());
        std::fwrite(list.keys[i].c_str(), 1, static_cast<std::size_t>(list.keys[i].GetLength()), stdout);
        std::printf(" %d:", list.values[i].GetLength());
        std::fwrite(list.values[i].c_str(), 1, static_cast<std::size_t>(list.values[i].GetLength()), stdout);
        std::fputc('\n', stdout);
    }
}

std::vector<int> ParseSizes(const char* text) {
    std::vector<int> sizes;
    for (const char* at = text; *at;) {
        char* end = nullptr;
        const long size = std::strtol(at, &end, 10);
        if (end == at || size <= 0 || size > 1024) Fail("--sizes takes MiB counts such as 1,4,16");
        sizes.push_back(static_cast<int>(size));
        at = *end == ',' ? end + 1 : end;
        if (*end && *end != ',') Fail("--sizes takes MiB counts such as 1,4,16");
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sizes = {1, 4, 16};
    int repetitions = 11;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--dump") {
            for (int f = i + 1; f < argc; ++f) {
                std::ifstream file(argv[f], std::ios::binary);
                if (!file) Fail("cannot open an answer file");
                Dump(argv[f], std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()));
            }
            return 0;
        }
        if (arg == "--dump-generated") {
            for (int size : sizes) Dump(std::to_string(size) + " MiB", AnswerWriter(size * kMiB).Build());
            return 0;
        }
        if (arg == "--repetitions" && i + 1 < argc) {
            repetitions = std::atoi(argv[++i]);
            if (repetitions < 1) Fail("--repetitions takes a positive count");
        } else if (arg == "--sizes" && i + 1 < argc) {
            sizes = ParseSizes(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: flatten_benchmark [--repetitions N] [--sizes 1,4,16] | --dump FILE... | "
                                 "--dump-generated\n");
            return 2;
        }
    }
    Measure(sizes, repetitions);
    return 0;
}
