#pragma once
// What the reflectivity engine keeps between curve evaluations of one workspace:
// the optical stack, the batch kernel's working arrays and its worker threads. It
// holds no result; an evaluation overwrites everything it reads from here. Created
// on first use. A copied workspace gets a fresh, empty cache, so that two copies
// can be evaluated on different threads without sharing working arrays.

#include <memory>

namespace korvel {

struct EngineCacheState;

class EngineCache {
  public:
    EngineCache();
    ~EngineCache();
    EngineCache(const EngineCache&);
    EngineCache& operator=(const EngineCache&);
    EngineCache(EngineCache&&) noexcept;
    EngineCache& operator=(EngineCache&&) noexcept;

    EngineCacheState& State();

  private:
    std::unique_ptr<EngineCacheState> state_;
};

}  // namespace korvel
