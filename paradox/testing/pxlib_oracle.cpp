#include "paradox/testing/pxlib_oracle.h"

#include <cstdio>
#include <cstdlib>
extern "C" {
#include <paradox.h>
}

namespace velanta::paradox::testing {
namespace {

std::string *currentError = nullptr;

void onError(pxdoc_t *, int, const char *message, void *) {
  if (currentError && currentError->empty()) *currentError = message ? message : "pxlib error";
}

} // namespace

std::optional<PxTable> readWithPxlib(const std::string &dbPath, const std::string &mbPath,
                                     std::string *error) {
  std::string local;
  currentError = error ? error : &local;
  currentError->clear();
  pxdoc_t *doc = PX_new2(onError, nullptr, nullptr, nullptr);
  if (PX_open_file(doc, dbPath.c_str()) < 0) {
    PX_delete(doc);
    return std::nullopt;
  }
  if (!mbPath.empty()) {
    attachingBlobFile = true;
    const int rc = PX_set_blob_file(doc, mbPath.c_str());
    attachingBlobFile = false;
    if (rc < 0) {
      PX_close(doc);
      PX_delete(doc);
      return std::nullopt;
    }
  }
  PxTable table;
  const int fields = PX_get_num_fields(doc);
  pxfield_t *f = PX_get_fields(doc);
  for (int i = 0; i < fields; ++i)
    table.fieldNames.emplace_back(f[i].px_fname);
  const int records = PX_get_num_records(doc);
  for (int r = 0; r < records; ++r) {
    pxval_t **values = PX_retrieve_record(doc, r);
    if (!values) {
      if (currentError->empty()) *currentError = "record " + std::to_string(r) + " unreadable";
      break;
    }
    PxRecord record;
    for (int i = 0; i < fields; ++i) {
      pxval_t *v = values[i];
      if (v->isnull) {
        record.emplace_back(std::nullopt);
      } else {
        switch (v->type) {
        case pxfAlpha:
        case pxfMemoBLOb:
        case pxfBLOb:
        case pxfFmtMemoBLOb:
        case pxfOLE:
        case pxfGraphic:
        case pxfBytes:
        case pxfBCD:
          record.emplace_back(
              std::string(v->value.str.val, static_cast<std::size_t>(v->value.str.len)));
          break;
        case pxfNumber:
        case pxfCurrency:
        case pxfTimestamp: {
          char buffer[64];
          std::snprintf(buffer, sizeof buffer, "%.17g", v->value.dval);
          record.emplace_back(buffer);
          break;
        }
        default:
          record.emplace_back(std::to_string(v->value.lval));
        }
      }
      const bool hasBytes = v->type == pxfAlpha || v->type == pxfMemoBLOb || v->type == pxfBLOb ||
                            v->type == pxfFmtMemoBLOb || v->type == pxfOLE ||
                            v->type == pxfGraphic || v->type == pxfBytes || v->type == pxfBCD;
      if (hasBytes && !v->isnull) doc->free(doc, v->value.str.val);
      doc->free(doc, v);
    }
    doc->free(doc, values);
    table.records.push_back(std::move(record));
  }
  PX_close(doc);
  PX_delete(doc);
  currentError = nullptr;
  if (error && !error->empty()) return std::nullopt;
  return table;
}

} // namespace velanta::paradox::testing
