#include "platform/fault_point.h"

#include <array>

namespace orvane::platform {

void setFaultHook(FaultHook hook)
{
    detail::faultHook.store(hook);
}

namespace {

struct FailPlan
{
    FaultOp op = FaultOp::Count;
    int nth = 0;
    int errorCode = 0;
    bool sticky = false;
    int failures = 0;
    std::array<int, std::size_t(FaultOp::Count)> calls{};
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
    g_plan = FailPlan{op, nth, errorCode, sticky, 0, {}};
    setFaultHook(&failDeviceHook);
}

FailDevice::~FailDevice()
{
    setFaultHook(nullptr);
    g_plan = FailPlan{};
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
