#include "framework/dialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtDebug>

#include "framework/control_look.h"
#include "framework/tab_order.h"
#include "framework/wheel_guard.h"
#include "framework/window_message.h"

namespace velmora {

namespace {

QString to_qt(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr char k_sorted_property[] = "sorted";

QTabBar::Shape tab_shape(const QTabWidget* tab) {
    const bool rounded = tab->tabShape() == QTabWidget::Rounded;
    switch (tab->tabPosition()) {
        case QTabWidget::South:
            return rounded ? QTabBar::RoundedSouth : QTabBar::TriangularSouth;
        case QTabWidget::West:
            return rounded ? QTabBar::RoundedWest : QTabBar::TriangularWest;
        case QTabWidget::East:
            return rounded ? QTabBar::RoundedEast : QTabBar::TriangularEast;
        case QTabWidget::North:
            break;
    }
    return rounded ? QTabBar::RoundedNorth : QTabBar::TriangularNorth;
}

}  // namespace

Dialog::Dialog() : QDialog(nullptr) {
    detail::register_live_dialog(this);
}

Dialog::~Dialog() {
    detail::unregister_live_dialog(this);
}

// --- Building and placing ----------------------------------------------------------------------------

void Dialog::finish_build() {
    index_controls();
    // uic fills a combo item by item, and Qt selects the first item that enters an empty combo.
    for (const auto& [id, widget] : controls_) {
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            combo->setCurrentIndex(-1);
        }
    }
    // The tab control's items are labels only and choose nothing, so Tab passes them by.
    for (QTabWidget* tab : findChildren<QTabWidget*>()) {
        tab->tabBar()->setFocusPolicy(Qt::NoFocus);
    }
    show_read_only(this);
    keep_places_when_hidden(this);
    name_fields_after_labels(this);
    order_for_keyboard();
}

void Dialog::order_for_keyboard() {
    set_tab_order_by_position(this);
    WheelGuard::install(this);
}

void Dialog::create_child(QWidget* parent) {
    setParent(parent, Qt::Widget);
    hide();
    raise();
}

int Dialog::run_modal(QWidget* owner) {
    setParent(owner, Qt::Dialog);
    running_modal_ = true;
    const int result = exec();
    running_modal_ = false;
    return result;
}

void Dialog::end_dialog(int result) {
    done(result);
}

// --- Controls ------------------------------------------------------------------------------------------

void Dialog::index_controls() {
    index_children(this);
}

void Dialog::index_children(QWidget* parent) {
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        // A dialog nested in this one keeps its own ids.
        if (widget == nullptr || qobject_cast<Dialog*>(widget) != nullptr) {
            continue;
        }
        const int id = control_id(widget);
        if (id >= 0) {
            auto found = controls_.find(id);
            if (found == controls_.end() || found->second.isNull()) {
                controls_[id] = widget;
                connect_control(id, widget);
            } else if (found->second != widget) {
                qCritical("%s: control id %d is used twice", metaObject()->className(), id);
            }
        }
        index_children(widget);
    }
}

void Dialog::connect_control(int id, QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        connect(button, &QAbstractButton::clicked, this, [this, id] { run_command(id, clicked_handlers_); });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        connect(combo, &QComboBox::activated, this, [this, id] { run_command(id, selection_handlers_); });
    } else if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
        connect(tree, &QTreeWidget::itemSelectionChanged, this,
                [this, id] { notify(id, NotifyKind::selection_changed); });
    }
}

QWidget* Dialog::control(int id) {
    auto found = controls_.find(id);
    if (found == controls_.end() || found->second.isNull()) {
        // Controls made after building are found on the first search for them.
        index_controls();
        found = controls_.find(id);
    }
    if (found == controls_.end() || found->second.isNull()) {
        report_missing(id);
        return nullptr;
    }
    return found->second;
}

int Dialog::control_id(const QWidget* widget) {
    if (widget == nullptr) {
        return -1;
    }
    bool ok = false;
    const int id = widget->property(k_ctrl_id_property).toInt(&ok);
    return ok ? id : -1;
}

void Dialog::report_missing(int id) const {
    qCritical("%s: no control with id %d", metaObject()->className(), id);
}

void Dialog::report_wrong_kind(int id, const char* wanted) const {
    qCritical("%s: control %d is not a %s", metaObject()->className(), id, wanted);
}

bool Dialog::is_control_shown(int id) {
    QWidget* widget = control(id);
    return widget != nullptr && !widget->isHidden();
}

void Dialog::enable_control(int id, bool enable) {
    if (QWidget* widget = control(id)) {
        widget->setEnabled(enable);
    }
}

bool Dialog::is_control_enabled(int id) {
    QWidget* widget = control(id);
    // Qt marks the children of a disabled widget disabled as well; only WA_ForceDisabled is the control's
    // own.
    return widget != nullptr && !widget->testAttribute(Qt::WA_ForceDisabled);
}

void Dialog::set_control_text(int id, const std::string& text) {
    QWidget* widget = control(id);
    if (widget == nullptr) {
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(to_qt(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(to_qt(text));
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(to_qt(text));
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(to_qt(text));
    } else if (auto* combo = qobject_cast<QComboBox*>(widget); combo != nullptr && combo->isEditable()) {
        combo->setEditText(to_qt(text));
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        plain->setPlainText(to_qt(text));
    } else {
        report_wrong_kind(id, "control with a text");
    }
}

std::string Dialog::control_text(int id) {
    QWidget* widget = control(id);
    if (widget == nullptr) {
        return {};
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text().toStdString();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text().toStdString();
    }
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text().toStdString();
    }
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        return group->title().toStdString();
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        return combo->currentText().toStdString();
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        return plain->toPlainText().toStdString();
    }
    report_wrong_kind(id, "control with a text");
    return {};
}

bool Dialog::is_checked(int id) {
    auto* button = control_as<QAbstractButton>(id);
    return button != nullptr && button->isChecked();
}

// --- Message map -------------------------------------------------------------------------------------

void Dialog::on_clicked(int id, CommandHandler handler) {
    clicked_handlers_[id] = std::move(handler);
}

void Dialog::on_selection_changed(int id, CommandHandler handler) {
    selection_handlers_[id] = std::move(handler);
}

void Dialog::on_notify(int id, NotifyKind kind, NotifyHandler handler) {
    auto& handlers =
        kind == NotifyKind::selection_changed ? selection_notify_handlers_ : double_click_handlers_;
    handlers[id] = std::move(handler);
}

void Dialog::on_message(int message, MessageHandler handler) {
    message_handlers_[message] = std::move(handler);
}

void Dialog::run_command(int id, std::unordered_map<int, CommandHandler>& handlers) {
    const auto found = handlers.find(id);
    if (found != handlers.end() && found->second) {
        // A copy, so that a handler may replace its own registration while it runs.
        const CommandHandler handler = found->second;
        handler();
        return;
    }
    // A modal dialog's OK and Cancel end it unless the dialog handles them itself.
    if (running_modal_ && &handlers == &clicked_handlers_ && (id == k_id_ok || id == k_id_cancel)) {
        if (id == k_id_ok) {
            update_data(true);
        }
        end_dialog(id);
    }
}

void Dialog::notify(int id, NotifyKind kind) {
    auto& handlers =
        kind == NotifyKind::selection_changed ? selection_notify_handlers_ : double_click_handlers_;
    const auto found = handlers.find(id);
    if (found != handlers.end() && found->second) {
        const NotifyHandler handler = found->second;
        handler();
    }
}

long Dialog::dispatch_message(int message) {
    const auto found = message_handlers_.find(message);
    if (found == message_handlers_.end() || !found->second) {
        return 0;
    }
    const MessageHandler handler = found->second;
    return handler();
}

bool Dialog::event(QEvent* event) {
    // An event may have been made on another thread (a posted message): the posters' lock comes
    // before anything of it is read, so that the thread sanitizer sees the order Qt's queue gives.
    detail::acquire_posted_message();
    if (event->type() == MessageEvent::event_type()) {
        dispatch_message(static_cast<MessageEvent*>(event)->message());
        return true;
    }
    return QDialog::event(event);
}

void Dialog::keyPressEvent(QKeyEvent* event) {
    // A page inside a form is no window: Enter and Escape must not end or hide it.
    if (!isWindow()) {
        QWidget::keyPressEvent(event);
        return;
    }
    QDialog::keyPressEvent(event);
}

void Dialog::reject() {
    if (running_modal_) {
        run_command(k_id_cancel, clicked_handlers_);
        return;
    }
    QDialog::reject();
}

// --- Data exchange -----------------------------------------------------------------------------------

void Dialog::bind_text(int id, std::string& member) {
    bindings_.push_back(Binding{id, &member});
}

void Dialog::update_data(bool save) {
    for (const Binding& binding : bindings_) {
        if (save) {
            *binding.member = control_text(binding.id);
        } else {
            set_control_text(binding.id, *binding.member);
        }
    }
}

// --- Combo boxes -------------------------------------------------------------------------------------

int Dialog::combo_add(QComboBox* combo, const std::string& text) {
    if (combo == nullptr) {
        return -1;
    }
    const QString item = to_qt(text);
    int index = combo->count();
    if (combo->property(k_sorted_property).toBool()) {
        index = 0;
        while (index < combo->count() && item.compare(combo->itemText(index), Qt::CaseInsensitive) >= 0) {
            ++index;
        }
    }
    const bool had_selection = combo->currentIndex() >= 0;
    const QString edit_text = combo->currentText();
    combo->insertItem(index, item);
    if (!had_selection && combo->currentIndex() >= 0) {
        combo->setCurrentIndex(-1);
        if (combo->isEditable()) {
            combo->setEditText(edit_text);
        }
    }
    return index;
}

int Dialog::combo_count(int id) {
    auto* combo = control_as<QComboBox>(id);
    return combo == nullptr ? 0 : combo->count();
}

void Dialog::combo_select(QComboBox* combo, int index) {
    if (combo != nullptr) {
        combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
    }
}

int Dialog::combo_selected(int id) {
    auto* combo = control_as<QComboBox>(id);
    return combo == nullptr ? -1 : combo->currentIndex();
}

std::string Dialog::combo_item_text(int id, int index) {
    auto* combo = control_as<QComboBox>(id);
    if (combo == nullptr || index < 0 || index >= combo->count()) {
        return {};
    }
    return combo->itemText(index).toStdString();
}

// --- Tree --------------------------------------------------------------------------------------------

void Dialog::tree_insert_root(int id, const std::string& text) {
    if (auto* tree = control_as<QTreeWidget>(id)) {
        tree->addTopLevelItem(new QTreeWidgetItem(QStringList{to_qt(text)}));
    }
}

std::string Dialog::tree_selected_text(int id) {
    auto* tree = control_as<QTreeWidget>(id);
    if (tree == nullptr) {
        return {};
    }
    const QList<QTreeWidgetItem*> selected = tree->selectedItems();
    return selected.isEmpty() ? std::string{} : selected.front()->text(0).toStdString();
}

std::string Dialog::tree_first_visible_text(int id) {
    auto* tree = control_as<QTreeWidget>(id);
    if (tree == nullptr) {
        return {};
    }
    QTreeWidgetItem* item = tree->itemAt(QPoint(0, 0));
    // A tree that has never been laid out has no item under its corner yet; it shows its first.
    if (item == nullptr) {
        item = tree->topLevelItem(0);
    }
    return item == nullptr ? std::string{} : item->text(0).toStdString();
}

// --- Tab control -------------------------------------------------------------------------------------

void Dialog::tab_insert_item(int id, int index) {
    if (auto* tab = control_as<QTabWidget>(id)) {
        // Qt's tabs need a panel each; the panels stay empty, the pages lie above them.
        tab->insertTab(index, new QWidget, QString());
    }
}

void Dialog::tab_select(int id, int index) {
    if (auto* tab = control_as<QTabWidget>(id)) {
        tab->setCurrentIndex(index);
    }
}

QRect Dialog::tab_client_rect(int id) {
    auto* tab = control_as<QTabWidget>(id);
    if (tab == nullptr) {
        return {};
    }
    // Asked of the style rather than of Qt's own panel, whose place is known only once the tab control
    // has been shown; the pages are placed before that.
    QStyleOptionTabWidgetFrame option;
    option.initFrom(tab);
    option.lineWidth = tab->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, tab);
    option.shape = tab_shape(tab);
    option.tabBarSize = tab->tabBar()->sizeHint();
    option.rect = tab->rect();
    return tab->style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, tab);
}

}  // namespace velmora
