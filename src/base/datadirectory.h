#pragma once

#include <QString>

/** Kestrove's own data folder (~/.local/share/com.kestrove.app): the store, its pictures and the key file. */
namespace DataDirectory
{
/** The folder's path; nothing is created. */
[[nodiscard]] QString path();

/**
 * Creates the folder when it is missing, readable by its owner only (0700) whatever the umask,
 * since it holds the packages and the private copy of the API key. False when it cannot be made.
 */
[[nodiscard]] bool ensure();
}
