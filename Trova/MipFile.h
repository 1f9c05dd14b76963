#pragma once

#include "Trova/LevelTexture.h"
#include "Util/CountedPtr.h"

#include <cstdint>
#include <string>

namespace Ostrel::Trova {

// A MIP file: a texture with levels. The application sees every game family's MIP files through
// this interface.
class MipFile : public LevelTexture {
public:
    // Values that only some variants carry: a caller asks the query before the getter, so the
    // getters here fail as broken invariants.
    virtual bool HasN4Value() const { return false; }
    virtual std::uint32_t GetN4Value(std::uint32_t index) const;
    virtual bool HasN4Name() const { return false; }
    virtual std::string GetN4Name(std::uint32_t index) const;

    virtual Util::CountedPtr<MipFile> Clone() const = 0;
};

} // namespace Ostrel::Trova
