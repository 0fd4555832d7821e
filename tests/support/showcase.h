#pragma once

class ModelContext;

namespace TestSupport
{
/**
 * Fills a store with a small but varied set: three groups, a package of every status, a pinned,
 * a colour-tagged and an archived one, an event. Saved; false when the save failed.
 */
[[nodiscard]] bool fillShowcase(ModelContext &context);
}
