#pragma once
// The decoders behind DecodeBoxFields, one per box type or family. Each
// reads the payload through reader (version and flags not yet read) and
// sends what it finds to sink.
#include "fields/box_fields.h"
#include "fields/field_reader.h"

typedef void (*BoxDecoder)(const FieldBox *box, FieldReader *reader, uint64_t limit,
                           const FieldSink *sink);

// File and movie structure, metadata (box_fields.cpp).
void DecodeFtyp(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeTkhd(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeHdlr(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeData(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeMeta(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeIlst(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeUserDataText(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodePlainText(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
// Sample tables and fragments (fields_tracks.cpp).
void DecodeFlatTableBox(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeStsd(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeStz2(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeSdtp(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeSgpd(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeTfhd(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeTrun(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeSidx(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeEmsg(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
// Protection and items (fields_items.cpp).
void DecodePssh(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeTenc(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeSchm(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeSaiz(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeSaio(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeSenc(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodePitm(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeIinf(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeInfe(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeIloc(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeIpma(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodePixi(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeColr(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);
void DecodeIref(const FieldBox *, FieldReader *, uint64_t, const FieldSink *);

// Sends the boxes in reader's bytes, the children of parent, as a table of
// that name: each box's code, offset and size, then its fields when known.
void SendChildBoxes(const FieldBox *parent, FieldReader *reader, uint64_t limit,
                    const FieldSink *sink, const char *table);

// Helpers the families share.
// Reads a value of width bytes or sends the problem; 0 when short.
int ReadOrComplain(FieldReader *reader, const FieldSink *sink, const char *name, unsigned width,
                   uint64_t *value);
// Reads and sends a number field (kind as in FieldLayout); 0 when short.
int ReadAndSend(FieldReader *reader, const FieldSink *sink, const char *name, unsigned width,
                unsigned kind, uint64_t *value);
// Sends a problem with a formatted sentence at the absolute offset.
void SendProblem(const FieldSink *sink, uint64_t offset, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
// The entries of a table that the limit leaves out, when count is what the
// box declares and shown how many were sent.
inline uint64_t EntriesLeftOut(uint64_t count, uint64_t shown)
{
    return count > shown ? count - shown : 0;
}
