#include "Trova/DatFile.h"

namespace Ostrel::Trova {

DatFile::~DatFile() = default;

} // namespace Ostrel::Trova
