// Calculation code against the installed static library: the engine and the runtime.
#include <nuvex/engine.h>
#include <nuvex/runtime.h>

#include <cstdio>

int main() {
  int zone = 0;
  const double meridian = nuvex::ZONECM(1, 0, 3, 6, 10.0, zone);
  CHRTMP temporary;
  f_tmpinit(&temporary, 1);
  const char* joined = f_concat(&temporary, "zone ", "ok", static_cast<const char*>(nullptr));
  std::printf("%s %d %.0f\n", joined, zone, meridian);
  const bool good = zone == 32 && meridian == 9.0 && f_strcmp(joined, "zone ok") == 0;
  f_tmpfree(&temporary, 1);
  return good ? 0 : 1;
}
