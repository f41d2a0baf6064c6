#include "host/output_component.h"

namespace velmora {

OutputComponent::OutputComponent(component_registry* registry, QObject* parent)
    : QObject(parent), component(k_output, registry) {
    set_active(true);
}

std::uint32_t OutputComponent::deliver(const component_msg& msg) {
    switch (msg.code) {
        case k_output_text:
            if (msg.param1 == 0 || msg.param2 == nullptr) {
                return 0;
            }
            emit text_arrived(
                QByteArray(static_cast<const char*>(msg.param2), static_cast<qsizetype>(msg.param1)));
            return msg.param1;
        case k_output_link_switch:
            emit link_switched();
            return 1;
        default:
            return 0;
    }
}

}  // namespace velmora
