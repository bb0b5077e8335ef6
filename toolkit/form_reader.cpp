#include "toolkit/form_reader.h"

#include "toolkit/class_registry.h"
#include "toolkit/control.h"
#include "toolkit/exceptions.h"

#include <QFile>
#include <QHash>
#include <QMetaProperty>
#include <QWidget>

#include <optional>

namespace toolkit {

namespace {

[[noreturn]] void fail(const QString &fileName, int line, const QString &what) {
  throw EFormError(QStringLiteral("Описание формы %1, строка %2: %3").arg(fileName).arg(line).arg(what));
}

QString quoted(const QString &word) { return QStringLiteral("«%1»").arg(word); }

// ---- parsing ----

struct Token {
  enum Kind { End, Word, Number, String, Symbol } kind = End;
  QString text;
  qint64 number = 0;
  int line = 0;
};

class Lexer {
public:
  Lexer(const QString &text, const QString &fileName) : text_(text), fileName_(fileName) {}

  Token next() {
    skipBlanks();
    Token token;
    token.line = line_;
    if (pos_ >= text_.size())
      return token;
    const QChar c = text_[pos_];
    if (c.isLetter() || c == u'_')
      return word(token);
    if (c.isDigit() || c == u'-' || c == u'$')
      return number(token);
    if (c == u'\'')
      return string(token);
    if (QStringView(u":=[],").contains(c)) {
      token.kind = Token::Symbol;
      token.text = c;
      ++pos_;
      return token;
    }
    fail(fileName_, line_, QStringLiteral("непонятный знак %1").arg(quoted(c)));
  }

private:
  void skipBlanks() {
    while (pos_ < text_.size()) {
      const QChar c = text_[pos_];
      if (c == u'\n')
        ++line_;
      if (c.isSpace()) {
        ++pos_;
      } else if (c == u'/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == u'/') {
        while (pos_ < text_.size() && text_[pos_] != u'\n')
          ++pos_;
      } else {
        break;
      }
    }
  }
  Token word(Token &token) {
    const qsizetype start = pos_;
    while (pos_ < text_.size() &&
           (text_[pos_].isLetterOrNumber() || text_[pos_] == u'_' || text_[pos_] == u'.'))
      ++pos_;
    token.kind = Token::Word;
    token.text = text_.mid(start, pos_ - start);
    return token;
  }
  Token number(Token &token) {
    const qsizetype start = pos_;
    const bool hex = text_[pos_] == u'$';
    ++pos_;
    while (pos_ < text_.size() && (hex ? isHexDigit(text_[pos_]) : text_[pos_].isDigit()))
      ++pos_;
    token.text = text_.mid(start, pos_ - start);
    bool ok = false;
    token.number = hex ? token.text.mid(1).toLongLong(&ok, 16) : token.text.toLongLong(&ok);
    if (!ok)
      fail(fileName_, line_, QStringLiteral("неверное число %1").arg(quoted(token.text)));
    token.kind = Token::Number;
    return token;
  }
  Token string(Token &token) {
    ++pos_;
    QString value;
    for (;;) {
      if (pos_ >= text_.size() || text_[pos_] == u'\n')
        fail(fileName_, token.line, QStringLiteral("строка не закрыта"));
      if (text_[pos_] == u'\'') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == u'\'') {
          value += u'\'';
          pos_ += 2;
          continue;
        }
        ++pos_;
        break;
      }
      value += text_[pos_++];
    }
    token.kind = Token::String;
    token.text = value;
    return token;
  }
  static bool isHexDigit(QChar c) {
    return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f');
  }

  const QString &text_;
  const QString &fileName_;
  qsizetype pos_ = 0;
  int line_ = 1;
};

class Parser {
public:
  Parser(const QString &text, const QString &fileName) : lexer_(text, fileName), fileName_(fileName) {
    advance();
  }

  FormObject parseRoot() {
    FormObject root = parseObject();
    if (current_.kind != Token::End)
      fail(fileName_, current_.line, QStringLiteral("лишнее после конца описания: %1").arg(quoted(current_.text)));
    return root;
  }

private:
  void advance() { current_ = lexer_.next(); }
  void expectSymbol(QChar symbol) {
    if (current_.kind != Token::Symbol || current_.text != symbol)
      fail(fileName_, current_.line,
           QStringLiteral("ожидался знак %1 вместо %2").arg(quoted(symbol), quoted(current_.text)));
    advance();
  }
  QString expectWord() {
    if (current_.kind != Token::Word)
      fail(fileName_, current_.line, QStringLiteral("ожидалось имя вместо %1").arg(quoted(current_.text)));
    QString word = current_.text;
    advance();
    return word;
  }

  FormObject parseObject() {
    FormObject object;
    object.line = current_.line;
    if (current_.kind != Token::Word || current_.text != u"object")
      fail(fileName_, current_.line, QStringLiteral("ожидалось «object» вместо %1").arg(quoted(current_.text)));
    advance();
    object.name = expectWord();
    expectSymbol(u':');
    object.className = expectWord();
    for (;;) {
      if (current_.kind != Token::Word)
        fail(fileName_, current_.line,
             QStringLiteral("ожидалось свойство, «object» или «end» вместо %1").arg(quoted(current_.text)));
      if (current_.text == u"end") {
        advance();
        return object;
      }
      if (current_.text == u"object")
        object.children.push_back(parseObject());
      else
        object.properties.push_back(parseProperty());
    }
  }

  FormProperty parseProperty() {
    FormProperty property;
    property.line = current_.line;
    property.name = expectWord();
    expectSymbol(u'=');
    switch (current_.kind) {
    case Token::Number:
      property.value = current_.number;
      break;
    case Token::String:
      property.value = current_.text;
      break;
    case Token::Word:
      property.value = FormIdentifier{current_.text};
      break;
    case Token::Symbol:
      if (current_.text == u"[") {
        property.value = parseSet();
        return property;
      }
      [[fallthrough]];
    default:
      fail(fileName_, current_.line,
           QStringLiteral("ожидалось значение свойства %1").arg(quoted(property.name)));
    }
    advance();
    return property;
  }

  QStringList parseSet() {
    expectSymbol(u'[');
    QStringList items;
    while (!(current_.kind == Token::Symbol && current_.text == u"]")) {
      items << expectWord();
      if (current_.kind == Token::Symbol && current_.text == u",")
        advance();
      else if (!(current_.kind == Token::Symbol && current_.text == u"]"))
        fail(fileName_, current_.line, QStringLiteral("ожидался знак «]»"));
    }
    advance();
    return items;
  }

  Lexer lexer_;
  const QString &fileName_;
  Token current_;
};

// ---- building ----

class Builder {
public:
  Builder(QObject *root, const QString &fileName) : root_(root), fileName_(fileName) {}

  void build(const FormObject &description) {
    const QString rootClass = QString::fromLatin1(root_->metaObject()->className()).section(QStringLiteral("::"), -1);
    if (rootClass != description.className)
      fail(fileName_, description.line,
           QStringLiteral("класс формы %1 не совпадает с %2").arg(quoted(description.className), quoted(rootClass)));
    root_->setObjectName(description.name);
    components_.insert(description.name, root_);
    order_.push_back(root_);
    applyProperties(root_, description);
    createChildren(root_, description);
    resolveDeferred();
    storeComponentFields();
    finishLoading();
  }

private:
  struct Deferred {
    QObject *target;
    QMetaProperty property; // invalid for an event
    int signalIndex = -1;
    const FormProperty *source;
  };

  void createChildren(QObject *parent, const FormObject &node) {
    QWidget *container = nullptr;
    if (auto *control = qobject_cast<TControl *>(parent))
      container = control->childContainer();
    else if (auto *widget = qobject_cast<QWidget *>(parent))
      container = widget;
    for (const FormObject &child : node.children) {
      const ComponentFactory *factory = findClass(child.className);
      if (!factory)
        fail(fileName_, child.line, QStringLiteral("неизвестный класс %1").arg(quoted(child.className)));
      if (components_.contains(child.name))
        fail(fileName_, child.line, QStringLiteral("имя %1 уже занято").arg(quoted(child.name)));
      QObject *object = (*factory)(root_, container);
      object->setObjectName(child.name);
      components_.insert(child.name, object);
      order_.push_back(object);
      applyProperties(object, child);
      createChildren(object, child);
    }
  }

  void applyProperties(QObject *object, const FormObject &node) {
    for (const FormProperty &property : node.properties)
      applyProperty(object, property);
  }

  void applyProperty(QObject *object, const FormProperty &property) {
    const QStringList path = property.name.split(u'.');
    QObject *target = object;
    for (qsizetype i = 0; i + 1 < path.size(); ++i) {
      const int index = target->metaObject()->indexOfProperty(path[i].toLatin1().constData());
      QObject *sub = index < 0 ? nullptr
                               : target->metaObject()->property(index).read(target).value<QObject *>();
      if (!sub)
        fail(fileName_, property.line, QStringLiteral("неизвестное свойство %1").arg(quoted(property.name)));
      target = sub;
    }
    const QByteArray name = path.back().toLatin1();
    if (name.startsWith("On")) {
      const int signal =
          target->metaObject()->indexOfSignal(QMetaObject::normalizedSignature(name + "(QObject*)"));
      if (signal >= 0) {
        deferred_.push_back({target, {}, signal, &property});
        return;
      }
    }
    const int index = target->metaObject()->indexOfProperty(name.constData());
    if (index < 0)
      fail(fileName_, property.line, QStringLiteral("неизвестное свойство %1").arg(quoted(property.name)));
    const QMetaProperty meta = target->metaObject()->property(index);
    if (meta.metaType().flags() & QMetaType::PointerToQObject) {
      if (!std::holds_alternative<FormIdentifier>(property.value))
        fail(fileName_, property.line, QStringLiteral("свойство %1 ждёт имя компонента").arg(quoted(property.name)));
      deferred_.push_back({target, meta, -1, &property});
      return;
    }
    const std::optional<QVariant> value = convert(meta, property);
    if (!value || !meta.write(target, *value))
      fail(fileName_, property.line,
           QStringLiteral("неверное значение свойства %1").arg(quoted(property.name)));
  }

  std::optional<QVariant> convert(const QMetaProperty &meta, const FormProperty &property) const {
    const int type = meta.metaType().id();
    if (const auto *set = std::get_if<QStringList>(&property.value))
      return type == QMetaType::QStringList ? std::optional<QVariant>(*set) : std::nullopt;
    if (const auto *text = std::get_if<QString>(&property.value))
      return type == QMetaType::QString ? std::optional<QVariant>(*text) : std::nullopt;
    std::optional<qint64> number;
    if (const auto *n = std::get_if<qint64>(&property.value)) {
      number = *n;
    } else {
      const QString &word = std::get<FormIdentifier>(property.value).name;
      if (type == QMetaType::Bool) {
        if (word == u"True" || word == u"False")
          return QVariant(word == u"True");
        return std::nullopt;
      }
      number = findConstant(word);
      if (!number)
        fail(fileName_, property.line, QStringLiteral("неизвестное значение %1").arg(quoted(word)));
    }
    switch (type) {
    case QMetaType::Int:
      return QVariant(int(*number));
    case QMetaType::UInt:
      return QVariant(uint(*number));
    case QMetaType::LongLong:
      return QVariant(*number);
    case QMetaType::Double:
      return QVariant(double(*number));
    default:
      return std::nullopt;
    }
  }

  void resolveDeferred() {
    for (const Deferred &d : deferred_) {
      const QString &word = std::get<FormIdentifier>(d.source->value).name;
      if (d.signalIndex >= 0) {
        bindEvent(d, word);
        continue;
      }
      QObject *component = components_.value(word);
      if (!component)
        fail(fileName_, d.source->line, QStringLiteral("неизвестный компонент %1").arg(quoted(word)));
      if (!d.property.write(d.target, QVariant::fromValue(component)))
        fail(fileName_, d.source->line,
             QStringLiteral("компонент %1 не подходит для свойства %2").arg(quoted(word), quoted(d.source->name)));
    }
  }

  void bindEvent(const Deferred &d, const QString &handler) {
    if (!std::holds_alternative<FormIdentifier>(d.source->value))
      fail(fileName_, d.source->line, QStringLiteral("событие %1 ждёт имя обработчика").arg(quoted(d.source->name)));
    const int method = root_->metaObject()->indexOfMethod(
        QMetaObject::normalizedSignature((handler + QStringLiteral("(QObject*)")).toLatin1()));
    if (method < 0)
      fail(fileName_, d.source->line, QStringLiteral("неизвестный обработчик %1").arg(quoted(handler)));
    QMetaObject::connect(d.target, d.signalIndex, root_, method);
  }

  // Components land in the root's fields (properties) of the same name.
  void storeComponentFields() {
    const QMetaObject *meta = root_->metaObject();
    for (auto it = components_.cbegin(); it != components_.cend(); ++it) {
      const int index = meta->indexOfProperty(it.key().toLatin1().constData());
      if (index < 0 || it.value() == root_)
        continue;
      const QMetaProperty field = meta->property(index);
      if (!(field.metaType().flags() & QMetaType::PointerToQObject) ||
          !field.write(root_, QVariant::fromValue(it.value())))
        fail(fileName_, 0, QStringLiteral("поле %1 формы не подходит компоненту").arg(quoted(it.key())));
    }
  }

  void finishLoading() {
    for (QObject *object : order_) {
      if (auto *control = qobject_cast<TControl *>(object)) {
        control->loaded();
        if (control->isWindowed())
          control->raise();
      } else if (object->metaObject()->indexOfMethod("loaded()") >= 0) {
        QMetaObject::invokeMethod(object, "loaded", Qt::DirectConnection);
      }
    }
    if (auto *window = qobject_cast<QWidget *>(root_))
      applyTabOrder(window);
  }

  QObject *root_;
  const QString &fileName_;
  QHash<QString, QObject *> components_;
  std::vector<QObject *> order_;
  std::vector<Deferred> deferred_;
};

} // namespace

FormObject parseForm(const QString &text, const QString &fileName) {
  return Parser(text, fileName).parseRoot();
}

void buildForm(QObject *root, const FormObject &description, const QString &fileName) {
  registerStandardClasses();
  Builder(root, fileName).build(description);
}

void loadForm(QObject *root, const QString &path) {
  QFile file(path);
  const QString fileName = path.section(u'/', -1);
  if (!file.open(QIODevice::ReadOnly))
    throw EFormError(QStringLiteral("Описание формы %1 не найдено").arg(fileName));
  const FormObject description = parseForm(QString::fromUtf8(file.readAll()), fileName);
  buildForm(root, description, fileName);
}

} // namespace toolkit
