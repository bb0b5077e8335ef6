#include "toolkit/class_registry.h"

#include <QHash>

namespace toolkit {

namespace {
QHash<QString, ComponentFactory> &classes() {
  static QHash<QString, ComponentFactory> all;
  return all;
}
QHash<QString, qint64> &constants() {
  static QHash<QString, qint64> all;
  return all;
}
} // namespace

void registerClass(const QString &className, ComponentFactory factory) {
  classes().insert(className, std::move(factory));
}

const ComponentFactory *findClass(const QString &className) {
  const auto found = classes().constFind(className);
  return found == classes().constEnd() ? nullptr : &found.value();
}

void registerConstant(const QString &name, qint64 value) { constants().insert(name, value); }

std::optional<qint64> findConstant(const QString &name) {
  const auto found = constants().constFind(name);
  if (found == constants().constEnd())
    return std::nullopt;
  return found.value();
}

} // namespace toolkit
