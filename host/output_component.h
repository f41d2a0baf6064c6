// "output": the host's output window as a component. Delivery 26 carries text (param1 bytes at
// param2, no terminator) for the terminal pane; delivery 27 marks a switch between offline and online.
//
// Callers may rely on: deliver may be called from any thread; the text is copied during the call and
// handed on through signals only, so the receiving pane (connected with a queued or automatic
// connection) touches its widgets on its own thread. The component starts active, so the serial
// bytes the connector broadcasts show in the terminal until a plug-in takes the line.
#pragma once

#include <QByteArray>
#include <QObject>
#include <cstdint>
#include <string>

#include "link/component.h"
#include "link/host_components.h"

namespace velmora {

class OutputComponent : public QObject, public component {
    Q_OBJECT

public:
    explicit OutputComponent(component_registry* registry, QObject* parent = nullptr);

    bool is_shareable() const override { return true; }
    std::string type_name() const override { return "output"; }
    std::uint32_t deliver(const component_msg& msg) override;

signals:
    void text_arrived(const QByteArray& text);
    void link_switched();
};

}  // namespace velmora
