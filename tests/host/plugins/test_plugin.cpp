// A complete plug-in for the host's tests: shows a label and a button in the parent it is given and
// greets the output window through the registry, which it reaches through the contract's headers alone.
#include <QLabel>
#include <QPushButton>
#include <cstring>

#include "link/component.h"
#include "link/host_components.h"
#include "link/plugin_exports.h"

namespace {

constexpr const char* k_greeting = "test plug-in says hello\n";

}  // namespace

extern "C" int dll_init(QWidget* parent, velmora::component_registry* registry) {
    if (parent == nullptr) {
        return 0;
    }
    auto* label = new QLabel(QStringLiteral("test plug-in ready"), parent);
    label->setObjectName(QStringLiteral("test_plugin_label"));
    // A form's control for the keyboard to reach (the host lays the two out).
    auto* button = new QPushButton(QStringLiteral("Clear"), parent);
    button->setObjectName(QStringLiteral("test_plugin_button"));
    if (registry != nullptr) {
        velmora::component* output = registry->lookup(velmora::k_output);
        output->deliver(
            {velmora::k_output_text, static_cast<std::uint32_t>(std::strlen(k_greeting)), k_greeting});
    }
    return 1;
}

extern "C" void dll_deinit() {}

extern "C" const char* dll_get_title() {
    return "Test Plug-in";
}

extern "C" int dll_is_gui() {
    return 1;
}
