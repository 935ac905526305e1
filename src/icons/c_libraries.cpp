#include "icons/c_libraries.h"

namespace gg {

// Opened once, by whichever thread asks first, and kept for the life of the process.
const Libdeflate& libdeflate()
{
    static const Libdeflate library;
    return library;
}

const Zlib& zlib()
{
    static const Zlib library;
    return library;
}

const Libspng& libspng()
{
    static const Libspng library;
    return library;
}

} // namespace gg
