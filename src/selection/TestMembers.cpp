#include "selection/TestMembers.h"

namespace {
std::function<TTestMembers *()> &SourceSlot()
{
    static std::function<TTestMembers *()> source;
    return source;
}
} // namespace

void SetTestMembersSource(std::function<TTestMembers *()> source) { SourceSlot() = std::move(source); }

TTestMembers *TestMembers() { return SourceSlot() ? SourceSlot()() : nullptr; }
