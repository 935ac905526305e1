// "Add Folder and Subfolders", "Load List Of Folders From File", "Load Sample/Example Folders".
#include "shell/form1.h"

namespace gg {

void Form1::PushButton4_Click() {}
void Form1::PushButton7_Click() {}
void Form1::PushButton8_Click() {}

} // namespace gg
