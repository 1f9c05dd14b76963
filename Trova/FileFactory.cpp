#include "Trova/FileFactory.h"

#include <algorithm>
#include <atomic>

namespace Ostrel::Trova {

// Worker threads may ask for their first facet of two types at once.
int NextFacetTypeId() {
    static std::atomic<int> counter = 0;
    return ++counter;
}

namespace {

// The smallest k with 2 to the power k at least n.
std::uint32_t CeilLog2(std::uint32_t n) {
    std::uint32_t k = 0;
    while (k < 32 && (std::uint64_t(1) << k) < n) {
        ++k;
    }
    return k;
}

template <typename... CacheT> void PurgeCaches(const FileFactory& factory) {
    ((factory.HasFacet<CacheT>() ? factory.GetFacet<CacheT>()->Purge() : void()), ...);
}

} // namespace

std::uint32_t LevelCount(std::uint32_t height, std::uint32_t width, bool autoLevels,
                         std::uint32_t requested) {
    // Below 4 pixels across the automatic count wraps round as an unsigned value, so the
    // size-derived bound decides.
    if (autoLevels) {
        requested = CeilLog2(width) - 2;
    }
    // A texture 4 pixels wide would get no level at all; it keeps at least its own size.
    return std::max(1u, std::min(requested, CeilLog2(std::min(height, width)) + 1));
}

void PurgeFactory::Purge() const {
    PurgeCaches<MakeCam, MakeLp, MakeMip, MakePbf, MakePcx, MakeRpy, MakeSrb, MakeTdo, MakeTrack,
                MakeTrk>(*factory_);
}

} // namespace Ostrel::Trova
