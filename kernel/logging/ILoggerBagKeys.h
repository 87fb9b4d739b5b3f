// ILoggerBagKeys: the attribute names of log records, with their value types and their labels.
#pragma once

#include "bags/StBagKeyNoDefault.h"
#include "bags/StBagKeyWithDefault.h"
#include "text/VBoolean.h"
#include "text/VLong.h"
#include "text/VLong8.h"
#include "text/VString.h"
#include "text/VUUID.h"

#include <cstdint>
#include <string_view>

namespace vkit {

/// The keys of a log record, declared once for the process. "level" defaults to 4 (information):
/// writers remove the attribute instead of storing 4.
struct ILoggerBagKeys {
    static const StBagKeyNoDefault<VString, VString> message;
    static const StBagKeyWithDefault<int32_t, VLong> level;
    static const StBagKeyNoDefault<VString, VString> source;
    static const StBagKeyNoDefault<uint64_t, VLong8> error_code;
    static const StBagKeyNoDefault<uint32_t, VLong> component_signature;
    static const StBagKeyNoDefault<int32_t, VLong> task_id;
    static const StBagKeyNoDefault<VString, VString> task_name;
    static const StBagKeyNoDefault<int64_t, VLong8> socket;
    static const StBagKeyNoDefault<VString, VString> local_addr;
    static const StBagKeyNoDefault<int32_t, VLong> local_port;
    static const StBagKeyNoDefault<VString, VString> peer_addr;
    static const StBagKeyNoDefault<int32_t, VLong> peer_port;
    static const StBagKeyNoDefault<bool, VBoolean> exchange_id;
    static const StBagKeyNoDefault<bool, VBoolean> is_blocking;
    static const StBagKeyNoDefault<bool, VBoolean> is_ssl;
    static const StBagKeyNoDefault<bool, VBoolean> is_select_io;
    static const StBagKeyNoDefault<int32_t, VLong> ms_timeout;
    static const StBagKeyNoDefault<int32_t, VLong> count_bytes_asked;
    static const StBagKeyNoDefault<int32_t, VLong> count_bytes_sent;
    static const StBagKeyNoDefault<int32_t, VLong> count_bytes_received;
    static const StBagKeyNoDefault<int32_t, VLong> ms_spent;
    static const StBagKeyNoDefault<int32_t, VLong> dump_offset;
    static const StBagKeyNoDefault<VString, VString> dump_buffer;
    static const StBagKeyNoDefault<VString, VString> file_name;
    static const StBagKeyNoDefault<int32_t, VLong> line_number;
    static const StBagKeyNoDefault<VString, VString> stack_crawl;
    static const StBagKeyNoDefault<VString, VString> user_id;
    static const StBagKeyNoDefault<int32_t, VLong> elapsed_milliseconds;
    static const StBagKeyNoDefault<VUUID, VUUID> base_context_uuid;
    static const StBagKeyNoDefault<VString, VString> payload;
    static const StBagKeyNoDefault<int64_t, VLong8> debug_context;
    static const StBagKeyNoDefault<VString, VString> jobId;
    static const StBagKeyNoDefault<int32_t, VLong> jobState;
    static const StBagKeyNoDefault<VString, VString> pipe;
    static const StBagKeyNoDefault<VString, VString> stream_id;
    static const StBagKeyNoDefault<VString, VString> system_username;
    static const StBagKeyNoDefault<VString, VString> hostname;

    /// Whether an attribute is shown among the extra fields of a record's text form, and its label:
    /// "task=" for "task_id" and the like; empty for the names shown as themselves followed by "=".
    /// The hidden keys ("message", "level", "source", "error_code", "component_signature") answer false.
    static bool GetLabel(std::string_view inKey, std::string_view& outLabel) noexcept;
};

} // namespace vkit
