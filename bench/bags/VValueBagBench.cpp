// Benchmarks of value bags, each beside a standard-library baseline doing the same work in the same program.
#include "bags/StBagKeyNoDefault.h"
#include "bags/StBagKeyWithDefault.h"
#include "bags/VValueBag.h"
#include "text/VLong.h"
#include "text/VLong8.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

using namespace vkit;

namespace {

// A log record: the attributes the logger's callers set on every message.
constinit const StBagKeyNoDefault<VString, VString> kMessage("message");
constinit const StBagKeyWithDefault<int32_t, VLong> kLevel("level", 4);
constinit const StBagKeyNoDefault<VString, VString> kSource("source");
constinit const StBagKeyNoDefault<int32_t, VLong> kTaskId("task_id");
constinit const StBagKeyNoDefault<VString, VString> kTaskName("task_name");
constinit const StBagKeyNoDefault<int64_t, VLong8> kErrorCode("error_code");

const VString& Message() {
    static const VString sMessage("Updater starting - /Applications/ZQ.app - /tmp/ZQ.app");
    return sMessage;
}

std::u16string Widen(const VString& inText) {
    return std::u16string(inText.View());
}

// Build a record of six attributes, then read each back, as the logger does with every message.

void BM_LogRecord_VValueBag(benchmark::State& state) {
    const VString source("ZQUP");
    const VString taskName("main");
    VString text;
    for (auto _ : state) {
        VValueBag record;
        kMessage.Set(record, Message());
        kLevel.Set(record, 6);
        kSource.Set(record, source);
        kTaskId.Set(record, 4711);
        kTaskName.Set(record, taskName);
        kErrorCode.Set(record, 0x55505A510000002ALL);
        int32_t number = 0;
        int64_t code = 0;
        kMessage.Get(record, text);
        number += kLevel.Get(record);
        kSource.Get(record, text);
        kTaskId.Get(record, number);
        kTaskName.Get(record, text);
        kErrorCode.Get(record, code);
        benchmark::DoNotOptimize(number + code);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_LogRecord_VValueBag);

using StdValue = std::variant<int64_t, std::u16string>;

void BM_LogRecord_StdUnorderedMap(benchmark::State& state) {
    const std::u16string message = Widen(Message());
    const std::u16string source = u"ZQUP";
    const std::u16string taskName = u"main";
    std::u16string text;
    for (auto _ : state) {
        std::unordered_map<std::string, StdValue> record;
        record["message"] = message;
        record["level"] = int64_t{6};
        record["source"] = source;
        record["task_id"] = int64_t{4711};
        record["task_name"] = taskName;
        record["error_code"] = int64_t{0x55505A510000002ALL};
        int64_t number = 0;
        text = std::get<std::u16string>(record.find("message")->second);
        number += std::get<int64_t>(record.find("level")->second);
        text = std::get<std::u16string>(record.find("source")->second);
        number += std::get<int64_t>(record.find("task_id")->second);
        text = std::get<std::u16string>(record.find("task_name")->second);
        number += std::get<int64_t>(record.find("error_code")->second);
        benchmark::DoNotOptimize(number);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_LogRecord_StdUnorderedMap);

// The same record kept as an ordered vector of cloned value objects (one allocation per value).
void BM_LogRecord_StdVectorOfValueObjects(benchmark::State& state) {
    const VString source("ZQUP");
    const VString taskName("main");
    VString text;
    using Entry = std::pair<std::string, std::unique_ptr<VValueSingle>>;
    auto find = [](const std::vector<Entry>& inRecord, const char* inName) -> const VValueSingle& {
        for (const Entry& entry : inRecord) {
            if (entry.first == inName)
                return *entry.second;
        }
        return *inRecord.front().second;
    };
    for (auto _ : state) {
        std::vector<Entry> record;
        record.emplace_back("message", Message().Clone());
        record.emplace_back("level", std::make_unique<VLong>(6));
        record.emplace_back("source", source.Clone());
        record.emplace_back("task_id", std::make_unique<VLong>(4711));
        record.emplace_back("task_name", taskName.Clone());
        record.emplace_back("error_code", std::make_unique<VLong8>(0x55505A510000002ALL));
        int64_t number = 0;
        text.FromValue(find(record, "message"));
        number += find(record, "level").GetLong();
        text.FromValue(find(record, "source"));
        number += find(record, "task_id").GetLong();
        text.FromValue(find(record, "task_name"));
        number += find(record, "error_code").GetLong8();
        benchmark::DoNotOptimize(number);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_LogRecord_StdVectorOfValueObjects);

// Writing the XML form of a bag of five string attributes and three children; the baseline writes the
// same text from standard containers with the same escaping.

struct StdElement {
    std::vector<std::pair<std::string, std::u16string>> fAttributes;
    std::vector<StdElement> fChildren;
};

void AppendEscaped(std::u16string& ioText, const std::u16string& inValue) {
    for (char16_t c : inValue) {
        switch (c) {
        case u'&':
            ioText += u"&amp;";
            break;
        case u'<':
            ioText += u"&lt;";
            break;
        case u'>':
            ioText += u"&gt;";
            break;
        case u'"':
            ioText += u"&quot;";
            break;
        case u'\'':
            ioText += u"&apos;";
            break;
        default:
            ioText += c;
        }
    }
}

void AppendStdXML(std::u16string& ioText, const std::u16string& inName, const StdElement& inElement,
                  int inLevel) {
    ioText.append(static_cast<size_t>(inLevel), u'\t');
    ioText += u'<';
    ioText += inName;
    for (const auto& [name, value] : inElement.fAttributes) {
        ioText += u' ';
        ioText.append(name.begin(), name.end());
        ioText += u"=\"";
        AppendEscaped(ioText, value);
        ioText += u'"';
    }
    if (inElement.fChildren.empty()) {
        ioText += u"/>";
        return;
    }
    ioText += u'>';
    for (const StdElement& child : inElement.fChildren) {
        ioText += u'\n';
        AppendStdXML(ioText, u"item", child, inLevel + 1);
    }
    ioText += u'\n';
    ioText.append(static_cast<size_t>(inLevel), u'\t');
    ioText += u"</";
    ioText += inName;
    ioText += u'>';
}

const char* const kAttributeNames[] = {"server_path", "database_name", "cache_folder", "user", "comment"};
const char* const kAttributeValues[] = {"10.0.0.1:19812", "Sales & Marketing", "ZQ Cache", "ann",
                                        "say \"hello\" <now>"};

void BM_DumpXML_VValueBag(benchmark::State& state) {
    VValueBag root;
    for (int i = 0; i < 5; ++i)
        root.SetString(kAttributeNames[i], VString(kAttributeValues[i]));
    for (int i = 0; i < 3; ++i) {
        VRefPtr<VValueBag> child = AdoptRef(root.Clone());
        root.AddElement("item", child.Get());
    }
    const VString name("database_shortcut");
    VString text;
    for (auto _ : state) {
        text.Clear();
        root.DumpXML(text, name, true);
        benchmark::DoNotOptimize(text.GetCPointer());
    }
}
BENCHMARK(BM_DumpXML_VValueBag);

void BM_DumpXML_StdU16String(benchmark::State& state) {
    StdElement root;
    for (int i = 0; i < 5; ++i)
        root.fAttributes.emplace_back(kAttributeNames[i], Widen(VString(kAttributeValues[i])));
    for (int i = 0; i < 3; ++i)
        root.fChildren.push_back(StdElement{root.fAttributes, {}});
    const std::u16string name = u"database_shortcut";
    std::u16string text;
    for (auto _ : state) {
        text.clear();
        AppendStdXML(text, name, root, 0);
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(BM_DumpXML_StdU16String);

} // namespace

BENCHMARK_MAIN();
