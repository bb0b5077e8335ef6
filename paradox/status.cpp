#include "paradox/status.h"

namespace velanta::paradox {

std::string_view defaultMessage(ErrorCode code) {
  switch (code) {
  case ErrorCode::kOk:
    return {};
  case ErrorCode::kNoSuchTable:
    return "Таблица не найдена.";
  case ErrorCode::kNoSuchFile:
    return "Файл не найден.";
  case ErrorCode::kOsNoEnt:
    return "Файл или каталог не найден.";
  case ErrorCode::kNoSuchIndex:
    return "Индекс не найден.";
  case ErrorCode::kInsufficientTableRights:
    return "Недостаточно прав на таблицу. Нужен пароль.";
  case ErrorCode::kInvalidPassword:
    return "Неверный пароль.";
  case ErrorCode::kTableReadOnly:
    return "Таблица доступна только для чтения.";
  case ErrorCode::kReadOnlyDirectory:
    return "Каталог доступен только для чтения.";
  case ErrorCode::kReadOnlyDatabase:
    return "База данных доступна только для чтения.";
  case ErrorCode::kRecordLocked:
    return "Запись заблокирована другим пользователем.";
  case ErrorCode::kTableBusy:
    return "Таблица занята.";
  case ErrorCode::kFileLocked:
    return "Файл заблокирован.";
  case ErrorCode::kNeedExclusiveAccess:
    return "Таблицу нельзя открыть монопольно.";
  case ErrorCode::kKeyViolation:
    return "Нарушение уникальности ключа.";
  case ErrorCode::kIndexOutOfDate:
    return "Индекс устарел.";
  case ErrorCode::kBlobModified:
    return "BLOB-значение изменено.";
  case ErrorCode::kBlobFileMissing:
    return "Файл BLOB-данных не найден.";
  case ErrorCode::kHeaderCorrupt:
    return "Заголовок таблицы или индекса повреждён.";
  case ErrorCode::kMemoCorrupt:
    return "Файл memo/BLOB-данных повреждён.";
  case ErrorCode::kIndexCorrupt:
    return "Индекс повреждён.";
  case ErrorCode::kNetMultiple:
    return "Каталог управляется другим файлом .NET.";
  case ErrorCode::kIoError:
    return "Ошибка ввода-вывода.";
  case ErrorCode::kInvalidArgument:
    return "Недопустимое значение.";
  case ErrorCode::kNotSupported:
    return "Возможность файла не поддерживается.";
  case ErrorCode::kNoCurrentRecord:
    return "Нет текущей записи.";
  }
  return "Ошибка табличного движка.";
}

const std::string &Status::message() const {
  static const std::string kNone;
  return details_ ? details_->message : kNone;
}

const std::vector<std::string> &Status::context() const {
  static const std::vector<std::string> kNone;
  return details_ ? details_->context : kNone;
}

std::string Status::toString() const {
  std::string text = message();
  for (const auto &line : context()) {
    text += '\n';
    text += line;
  }
  return text;
}

} // namespace velanta::paradox
