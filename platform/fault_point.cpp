#include "platform/fault_point.h"

#include <array>
#include <atomic>

namespace orvane::platform {

void setFaultHook(FaultHook hook)
{
    detail::faultHook.store(hook);
}

namespace {

// The walk reads and syncs on several threads, so the counts are atomic.
struct FailPlan
{
    std::atomic<FaultOp> op{FaultOp::Count};
    std::atomic<int> nth{0};
    std::atomic<int> errorCode{0};
    std::atomic<bool> sticky{false};
    std::atomic<int> failures{0};
    std::array<std::atomic<int>, std::size_t(FaultOp::Count)> calls{};

    void reset(FaultOp newOp, int newNth, int newError, bool newSticky)
    {
        op = newOp;
        nth = newNth;
        errorCode = newError;
        sticky = newSticky;
        failures = 0;
        for (std::atomic<int> &count : calls)
            count = 0;
    }
};

FailPlan g_plan;

int failDeviceHook(FaultOp op)
{
    const int call = ++g_plan.calls[std::size_t(op)];
    if (op != g_plan.op)
        return 0;
    if (call == g_plan.nth || (g_plan.sticky && call > g_plan.nth)) {
        ++g_plan.failures;
        return g_plan.errorCode;
    }
    return 0;
}

} // namespace

FailDevice::FailDevice(FaultOp op, int nth, int errorCode, bool sticky)
{
    g_plan.reset(op, nth, errorCode, sticky);
    setFaultHook(&failDeviceHook);
}

FailDevice::~FailDevice()
{
    setFaultHook(nullptr);
    g_plan.reset(FaultOp::Count, 0, 0, false);
}

int FailDevice::calls(FaultOp op) const
{
    return g_plan.calls[std::size_t(op)];
}

int FailDevice::failures() const
{
    return g_plan.failures;
}

} // namespace orvane::platform
