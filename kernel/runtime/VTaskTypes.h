// The small types shared by tasks, the task manager and the locks: ids, data keys, states, styles.
#pragma once

#include <cstdint>

namespace vkit {

/// A task id: the thread's kernel id for tasks; negative for tasks the system gave no id and for
/// threads that are not tasks; 0 is no task.
using VTaskID = int32_t;

/// A key of task-local data (1-based; 0 is no key).
using VTaskDataKey = uint32_t;

/// The life of a task; it only moves forward, by compare-and-swap.
enum ETaskState : int32_t {
    eTaskStateCreated = 0,
    eTaskStateStarting = 1,
    eTaskStateRunning = 2,
    eTaskStateDying = 3,
    eTaskStateDead = 4
};

/// How a task runs. Linux has no fibers: a fiber task runs as a thread.
enum ETaskStyle : int32_t { eTaskStylePreemptive = 1, eTaskStyleFiber = 3 };

} // namespace vkit
