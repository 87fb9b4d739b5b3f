// ILoggerBagKeys: the key objects and the label table of the record's text form.
#include "logging/ILoggerBagKeys.h"

#include <array>
#include <utility>

namespace vkit {

const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::message("message");
const StBagKeyWithDefault<int32_t, VLong> ILoggerBagKeys::level("level", 4);
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::source("source");
const StBagKeyNoDefault<uint64_t, VLong8> ILoggerBagKeys::error_code("error_code");
const StBagKeyNoDefault<uint32_t, VLong> ILoggerBagKeys::component_signature("component_signature");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::task_id("task_id");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::task_name("task_name");
const StBagKeyNoDefault<int64_t, VLong8> ILoggerBagKeys::socket("socket");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::local_addr("local_addr");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::local_port("local_port");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::peer_addr("peer_addr");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::peer_port("peer_port");
const StBagKeyNoDefault<bool, VBoolean> ILoggerBagKeys::exchange_id("exchange_id");
const StBagKeyNoDefault<bool, VBoolean> ILoggerBagKeys::is_blocking("is_blocking");
const StBagKeyNoDefault<bool, VBoolean> ILoggerBagKeys::is_ssl("is_ssl");
const StBagKeyNoDefault<bool, VBoolean> ILoggerBagKeys::is_select_io("is_select_io");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::ms_timeout("ms_timeout");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::count_bytes_asked("count_bytes_asked");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::count_bytes_sent("count_bytes_sent");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::count_bytes_received("count_bytes_received");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::ms_spent("ms_spent");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::dump_offset("dump_offset");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::dump_buffer("dump_buffer");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::file_name("file_name");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::line_number("line_number");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::stack_crawl("stack_crawl");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::user_id("user_id");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::elapsed_milliseconds("elapsed_milliseconds");
const StBagKeyNoDefault<VUUID, VUUID> ILoggerBagKeys::base_context_uuid("base_context_uuid");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::payload("payload");
const StBagKeyNoDefault<int64_t, VLong8> ILoggerBagKeys::debug_context("debug_context");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::jobId("jobId");
const StBagKeyNoDefault<int32_t, VLong> ILoggerBagKeys::jobState("jobState");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::pipe("pipe");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::stream_id("stream_id");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::system_username("system_username");
const StBagKeyNoDefault<VString, VString> ILoggerBagKeys::hostname("hostname");

namespace {

using namespace std::string_view_literals;

// Keys whose label is not their name followed by "="; an empty label hides the key.
constexpr std::array<std::pair<std::string_view, std::string_view>, 27> kLabels{{
    {"message"sv, ""sv},
    {"level"sv, ""sv},
    {"source"sv, ""sv},
    {"error_code"sv, ""sv},
    {"component_signature"sv, ""sv},
    {"task_id"sv, "task="sv},
    {"task_name"sv, "taskName="sv},
    {"socket"sv, "socket="sv},
    {"local_addr"sv, "localAddr="sv},
    {"local_port"sv, "localPort="sv},
    {"peer_addr"sv, "peerAddr="sv},
    {"peer_port"sv, "peerPort="sv},
    {"exchange_id"sv, "exchangeEndpointId="sv},
    {"is_blocking"sv, "blocking="sv},
    {"is_ssl"sv, "SSL="sv},
    {"is_select_io"sv, "selectIO="sv},
    {"ms_timeout"sv, "timeout="sv},
    {"count_bytes_asked"sv, "asked="sv},
    {"count_bytes_sent"sv, "sent="sv},
    {"count_bytes_received"sv, "received="sv},
    {"ms_spent"sv, "executionTime="sv},
    {"dump_offset"sv, "offset="sv},
    {"dump_buffer"sv, "data="sv},
    {"file_name"sv, "fileName="sv},
    {"line_number"sv, "lineNumber="sv},
    {"stack_crawl"sv, "stackCrawl="sv},
    {"user_id"sv, "UUID="sv},
}};

} // namespace

bool ILoggerBagKeys::GetLabel(std::string_view inKey, std::string_view& outLabel) noexcept {
    outLabel = {};
    for (const auto& [key, label] : kLabels) {
        if (key == inKey) {
            outLabel = label;
            return !label.empty();
        }
    }
    return true;
}

} // namespace vkit
