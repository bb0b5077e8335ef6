// pxlib's full scan of an opened table, the yardstick of our own scans: every record
// retrieved, every value freed as pxlib hands it out. Returns a checksum to keep the work.
#pragma once

#ifdef VELANTA_BENCH_PXLIB
extern "C" {
#include <paradox.h>
}

#include <cstddef>

inline std::size_t pxlibScanRecords(pxdoc_t *doc) {
  const int records = PX_get_num_records(doc);
  const int fields = PX_get_num_fields(doc);
  std::size_t checksum = 0;
  for (int r = 0; r < records; ++r) {
    pxval_t **values = PX_retrieve_record(doc, r);
    if (values == nullptr) continue;
    for (int i = 0; i < fields; ++i) {
      pxval_t *v = values[i];
      checksum += static_cast<std::size_t>(v->isnull);
      const bool bytes = v->type == pxfAlpha || v->type == pxfMemoBLOb || v->type == pxfBLOb ||
                         v->type == pxfFmtMemoBLOb || v->type == pxfOLE || v->type == pxfGraphic ||
                         v->type == pxfBytes || v->type == pxfBCD;
      if (bytes && !v->isnull) {
        checksum += static_cast<std::size_t>(v->value.str.len);
        doc->free(doc, v->value.str.val);
      }
      doc->free(doc, v);
    }
    doc->free(doc, values);
  }
  return checksum;
}
#endif
