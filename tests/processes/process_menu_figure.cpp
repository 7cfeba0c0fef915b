// The time to build the process submenu from this machine's processes:
// enumeration, sorting and insertion into a fresh submenu, then clearing the
// list, as the tray menu does on each showing. Run by hand:
//   process_menu_figure [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "processes/process_menu.h"

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 200;
    if (rounds < 1)
        rounds = 1;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> ms;
    int32_t processes = 0;
    for (int i = 0; i < rounds; ++i) {
        HMENU popup = CreatePopupMenu();
        HMENU submenu = CreatePopupMenu();
        AppendMenuA(submenu, MF_STRING | MF_GRAYED, 1001, "Terminer...");
        AppendMenuA(submenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(submenu, MF_STRING | MF_GRAYED, 1002, "vide");
        AppendMenuA(popup, MF_POPUP, reinterpret_cast<UINT_PTR>(submenu),
                    "Liste des &Processus...");
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        process_list_fill_menu(popup, {1002, 1003});
        QueryPerformanceCounter(&end);
        processes = process_list_count();
        process_list_clear();
        DestroyMenu(popup);
        ms.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                     static_cast<double>(frequency.QuadPart));
    }
    std::sort(ms.begin(), ms.end());
    printf("process submenu: %d processes, %d rounds: median %.3f ms, min %.3f ms, max %.3f ms\n",
           processes, rounds, ms[ms.size() / 2], ms.front(), ms.back());
    return 0;
}
