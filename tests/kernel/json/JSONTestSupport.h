// Shared helpers of the JSON tests: the error layer brought up, values as text, parses with their
// reports, work on a task.
#pragma once

#include "bags/VValueBag.h"
#include "errors/StErrorContextInstaller.h"
#include "errors/VErrorContext.h"
#include "kernel/errors/ErrorsTestEnvironment.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrorCodes.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace vkit::testing {

// The JSON tests run on the main task of a task manager with the error layer brought up.
inline const ::testing::Environment* const sJSONEnvironment =
    ::testing::AddGlobalTestEnvironment(new ErrorsTestEnvironment);

/// A value written as JSON (strings quoted by default), "undefined" for undefined, "<failed>" when it
/// cannot be written.
inline std::string JSONOf(const VJSONValue& inValue, uint32_t inOptions = VJSONWriter::kQuoteStrings) {
    VString text;
    if (inValue.IsUndefined())
        return "undefined";
    return inValue.Stringify(text, inOptions) == VE_OK ? text.ToUTF8() : "<failed>";
}

/// The errors of a context, oldest first: the number, then the attributes "found", "expected" and
/// "token" in quotes, and for 550 "at" the source, line and position ("at /a.json, 3:5").
inline std::string ErrorsOf(const VErrorContext& inContext) {
    std::string text;
    for (const VErrorBase* error : inContext.GetErrors()) {
        const VValueBag& bag = error->GetBag();
        VString value;
        int32_t line = 0, position = 0;
        text += " " + std::to_string(NumberFromVError(error->GetError()));
        for (const char* key : {"found", "expected", "token"}) {
            if (bag.GetString(StPackedDictionaryKey(key), value))
                text += " '" + value.ToUTF8() + "'";
        }
        if (bag.GetLong("line", line) && bag.GetLong("position", position) && bag.GetString("source", value))
            text += " at " + value.ToUTF8() + std::to_string(line) + ":" + std::to_string(position);
    }
    return text;
}

/// Parses a UTF-8 text: the value as JSONOf, " !" when the parse failed, and the errors it pushed.
inline std::string Parse(const std::string& inText, uint32_t inOptions = 0, const char* inSource = nullptr) {
    StErrorContextInstaller errors(false);
    VString text(inText.data(), inText.size());
    VJSONImporter importer(text, inOptions);
    if (inSource != nullptr)
        importer.SetSourceName(VString(inSource));
    VJSONValue value(1.0);
    VError result = importer.Parse(value);
    return JSONOf(value) + (result == VE_OK ? "" : " !") + ErrorsOf(*errors.GetContext());
}

/// The value of a JSON text that must parse.
inline VJSONValue Parsed(const std::string& inText) {
    VJSONValue value;
    EXPECT_EQ(VJSONImporter::ParseString(VString(inText.c_str()), value), VE_OK) << inText;
    return value;
}

/// Runs a function on a task of the default stack size and waits for it.
inline void RunOnTask(std::function<void()> inFunction) {
    VTask* task = new VTask(0, eTaskStylePreemptive, std::move(inFunction));
    ASSERT_TRUE(task->Run());
    ASSERT_TRUE(task->WaitForDeath(-1));
    task->Release();
    VTaskMgr::Get()->PurgeDeadTasks(); // the manager joins the finished thread
}

/// A value's GetString as UTF-8.
inline std::string TextOf(const VJSONValue& inValue) {
    VString text;
    inValue.GetString(text);
    return text.ToUTF8();
}

} // namespace vkit::testing
