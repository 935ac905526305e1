// "Start Extracting Icons": list the files, take their icons, publish the gallery.
#include "shell/form1.h"

namespace gg {

void Form1::optFiles_Click(int index)
{
    if (index == 0)
        File1.Pattern = kAllFilesPattern;
    else if (index == 1)
        File1.Pattern = kApplicationFilesPattern;
}

void Form1::PushButton6_Click() {}
void Form1::ViewIcons() {}

} // namespace gg
