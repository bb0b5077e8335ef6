// Classes a form description may name, created by name as the form reader meets them.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace toolkit {

// Creates a component. `container` is the widget that holds the children of the object
// the component is declared in (null at the top level); `owner` is the form, which owns
// non-visual components.
using ComponentFactory = std::function<QObject *(QObject *owner, QWidget *container)>;

void registerClass(const QString &className, ComponentFactory factory);
const ComponentFactory *findClass(const QString &className);

// Named values a description may use for integer properties (colours, cursors,
// alignments and the like).
void registerConstant(const QString &name, qint64 value);
std::optional<qint64> findConstant(const QString &name);

// Registers every class and constant of the toolkit. Idempotent.
void registerStandardClasses();

// Registers a widget class whose constructor takes its parent widget.
template <typename T> void registerControl(const QString &className) {
  registerClass(className, [](QObject *, QWidget *container) { return new T(container); });
}

// Registers a non-visual component, owned by the form.
template <typename T> void registerComponent(const QString &className) {
  registerClass(className, [](QObject *owner, QWidget *) { return new T(owner); });
}

} // namespace toolkit
