// "Start Saving Selected Icons" and "Start Saving All Icons".
#include "shell/form1.h"

namespace gg {

void Form1::PushButton1_Click() {}
void Form1::PushButton2_Click() {}

} // namespace gg
