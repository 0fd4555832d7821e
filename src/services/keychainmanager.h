#pragma once

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

/** Stores the value; true when the Secret Service accepted it (the file copy is written either way). */
bool save(const QString &key, const QString &value);
/** The stored value, or nothing when neither store holds a non-empty value. */
[[nodiscard]] std::optional<QString> retrieve(const QString &key);
/** The tracking API key ("17track_api_key"): what the front ends hand the provider as its key source. */
[[nodiscard]] std::optional<QString> retrieveApiKey();
}
