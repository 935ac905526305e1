#include "window/window_layout.h"

#include <stdexcept>
#include <string>

namespace gg::layout {

const ControlPlace& place(std::string_view name)
{
    for (const auto& p : kVisibleControls)
        if (p.name == name)
            return p;
    throw std::out_of_range("no control named " + std::string(name));
}

} // namespace gg::layout
