// flash: a firmware image into the unit through its bootloader, after a backup.
#include "cli_commands.h"

int cli_flash(const cli_options&)
{
    return cli_fail(exit_code::usage, "flash is not available yet");
}
