#include "framework/control_look.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPalette>
#include <QSizePolicy>
#include <QWidget>

namespace velmora {

void show_read_only(QWidget* root) {
    for (QLineEdit* edit : root->findChildren<QLineEdit*>()) {
        if (!edit->isReadOnly()) {
            continue;
        }
        QPalette palette = edit->palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setBrush(group, QPalette::Base, palette.brush(group, QPalette::Window));
        }
        edit->setPalette(palette);
    }
}

void keep_places_when_hidden(QWidget* root) {
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        const QWidget* parent = widget->parentWidget();
        // Only the form's own layouts: the insides of a composite control (a list's scroll bars) are
        // its own business.
        const bool form_container = parent != nullptr && parent->layout() != nullptr &&
                                    (parent->metaObject() == &QWidget::staticMetaObject ||
                                     qobject_cast<const QGroupBox*>(parent) != nullptr ||
                                     qobject_cast<const QDialog*>(parent) != nullptr);
        if (!form_container) {
            continue;
        }
        QSizePolicy policy = widget->sizePolicy();
        if (!policy.retainSizeWhenHidden()) {
            policy.setRetainSizeWhenHidden(true);
            widget->setSizePolicy(policy);
        }
    }
}

void name_fields_after_labels(QWidget* root) {
    for (QLabel* label : root->findChildren<QLabel*>()) {
        QWidget* field = label->buddy();
        if (field == nullptr || !field->accessibleName().isEmpty()) {
            continue;
        }
        QString name = label->text();
        name.remove(QLatin1Char('&'));
        name = name.trimmed();
        if (name.endsWith(QLatin1Char(':'))) {
            name.chop(1);
        }
        field->setAccessibleName(name.trimmed());
    }
}

}  // namespace velmora
