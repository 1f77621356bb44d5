#include "ProgramFolder.h"

#include <unistd.h>

#include <SDL2/SDL.h>

bool ChangeToProgramFolder() {
    // SDL resolves /proc/self/exe, so symbolic links to the program lead to
    // its real folder, where the data lies beside it.
    char* folder = SDL_GetBasePath();
    if (!folder) return false;
    const bool changed = chdir(folder) == 0;
    SDL_free(folder);
    return changed;
}
