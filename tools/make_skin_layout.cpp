// Prints the main window's control places as a shell file to source, so scripts that drive the running
// program click where the skin puts each control instead of carrying numbers of their own.
#include "skin/SkinLayout.h"

#include <cstdio>

namespace {
FILE* out = nullptr;

void print(const char* name, const QRect& r)
{
    const QPoint c = r.center();
    std::fprintf(out, "VELTRA_%s_X=%d\nVELTRA_%s_Y=%d\n", name, c.x(), name, c.y());
}
} // namespace

// make_skin_layout OUTPUT_FILE
int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_skin_layout OUTPUT_FILE\n");
        return 2;
    }
    out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 1;
    }
    namespace Main = SkinLayout::Main;
    std::fprintf(out, "# The centres of the main window's controls, in pixels from its top left corner at 96 dpi.\n"
                      "# Made by make_skin_layout from the skin's layout table; do not edit.\n");
    std::fprintf(out, "VELTRA_MAIN_WIDTH=%d\nVELTRA_MAIN_HEIGHT=%d\n", Main::kSize.width(), Main::kSize.height());
    print("HELP", Main::kHelp);
    print("MIN", Main::kMin);
    print("CLOSE", Main::kClose);
    const char* menus[] = {"MENU_FILE", "MENU_OPTIONS", "MENU_ABOUT"};
    for (int i = 0; i < 3; ++i)
        print(menus[i], Main::kMenu[i]);
    const char* toolbar[] = {"ADD_FILES", "ADD_FOLDER", "REMOVE", "OPTIONS", "TOOLBAR_HELP", "EXIT"};
    for (int i = 0; i < Main::kToolbarCount; ++i)
        print(toolbar[i], Main::kToolbar[i]);
    print("LIST", Main::kList);
    const char* selectors[] = {"FORMAT", "BITRATE", "RATE", "CHANNELS"};
    const char* drops[] = {"FORMAT_DROP", "BITRATE_DROP", "RATE_DROP", "CHANNELS_DROP"};
    for (int i = 0; i < Main::kSelectorCount; ++i) {
        print(selectors[i], Main::kSelector[i]);
        print(drops[i], Main::kSelectorDrop[i]);
    }
    print("FOLDER", Main::kFolder);
    print("BROWSE", Main::kBrowse);
    print("CONVERT", Main::kConvert);
    print("FEEDBACK", Main::kFeedback);
    return std::fclose(out) == 0 ? 0 : 1;
}
