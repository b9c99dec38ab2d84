// jexui-ini: command-line access to INI files through the program's own settings layer.
#include <cstdio>
int main() {
  std::fputs("jexui-ini: not built yet\n", stderr);
  return 2;
}
