#include "win/open_folder.h"
#include "win/dyn_calls.h"

void open_folder(const wchar_t* folder)
{
    const ShellCalls* shell = shell_calls();
    if (shell)
        shell->execute(nullptr, L"open", folder, nullptr, nullptr, SW_SHOWNORMAL);
}
