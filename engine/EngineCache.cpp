// The engine's per-workspace cache: created on first use, never shared by copies.

#include "engine/EngineCache.h"

#include "engine/BatchKernel.h"

namespace korvel {

EngineCache::EngineCache() = default;
EngineCache::~EngineCache() = default;
EngineCache::EngineCache(const EngineCache&) {}
EngineCache& EngineCache::operator=(const EngineCache&) { return *this; }
EngineCache::EngineCache(EngineCache&&) noexcept = default;
EngineCache& EngineCache::operator=(EngineCache&&) noexcept = default;

EngineCacheState& EngineCache::State() {
    if (!state_) state_ = std::make_unique<EngineCacheState>();
    return *state_;
}

}  // namespace korvel
