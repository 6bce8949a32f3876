// The capture shortcut's stored value, as someone may have left it in the settings file: any
// bytes give a binding or nothing, and a binding that loads survives being stored again.
#include "fuzz_check.h"
#include "shortcuts/shortcut_binding.h"

#include <cstddef>
#include <cstdint>

using namespace tovik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray stored =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<ShortcutBinding> binding = ShortcutBinding::fromJson(stored);
    if (!binding)
        return 0;
    // Text with a lone surrogate cannot be written as UTF-8; such a key is never a table key.
    if (binding->key.isValidUtf16())
        FUZZ_CHECK(ShortcutBinding::fromJson(binding->toJson()) == binding);
    // What the settings, the menu and the hot-key layer make of it agree on the key.
    const bool tableKey = binding->hasTableKey();
    FUZZ_CHECK(binding->hotKeyGrab().has_value() == tableKey);
    FUZZ_CHECK(binding->keySequence().isEmpty() == !tableKey);
    FUZZ_CHECK(!binding->isValid() || tableKey);
    return 0;
}
