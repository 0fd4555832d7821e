#pragma once

#include "base/result.h"

#include <QString>

#include <optional>

/**
 * The tracking API key: stored in the Secret Service, with a private copy in a hidden
 * owner-only file that also serves as the source of a later migration back.
 */
namespace KeychainManager
{
inline constexpr auto service = "com.kestrove.app";
inline constexpr auto apiKeyName = "17track_api_key";

/** The longest API key accepted, in UTF-8 bytes. */
inline constexpr qsizetype maximumApiKeyBytes = 4096;

/**
 * Stores the value: first the private file, then the Secret Service. True when the Secret Service
 * accepted it too, false when only the file holds it. An error (the file could not be written,
 * say on a full disk) means nothing changed: the previous value stays in both places.
 */
Result<bool, QString> save(const QString &key, const QString &value);
/** The stored value, or nothing when neither store holds a non-empty value. */
[[nodiscard]] std::optional<QString> retrieve(const QString &key);
/** The tracking API key ("17track_api_key"): what the front ends hand the provider as its key source. */
[[nodiscard]] std::optional<QString> retrieveApiKey();
/** Why the text cannot be an API key (blank, control characters, over 4 KiB), as a sentence; nothing when it can. */
[[nodiscard]] std::optional<QString> apiKeyProblem(const QString &value);
}
