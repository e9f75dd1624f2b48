#include "fields/field_printers.h"
#include "fields/field_format.h"

#include <stdio.h>
#include <string.h>

static void CopyName(char *to, const char *name)
{
    size_t length = strlen(name);
    if (length >= FIELD_PRINTER_NAME)
        length = FIELD_PRINTER_NAME - 1;
    memcpy(to, name, length);
    to[length] = '\0';
}

// ---- text ----

static void Put(FieldTextPrinter *printer, const char *bytes, size_t count)
{
    // A line longer than the buffer is cut, and ends in "...".
    size_t room = sizeof printer->line - 4 - printer->used;
    if (count > room) {
        count = room;
        printer->truncated = 1;
    }
    memcpy(printer->line + printer->used, bytes, count);
    printer->used += count;
}

static void PutText(FieldTextPrinter *printer, const char *text)
{
    Put(printer, text, strlen(text));
}

static void StartLine(FieldTextPrinter *printer)
{
    // The indent goes out first, so that any depth fits.
    static const char spaces[] = "                                                                ";
    for (size_t left = printer->indent; left > 0;) {
        size_t n = left < sizeof spaces - 1 ? left : sizeof spaces - 1;
        printer->write(printer->writeContext, spaces, n);
        left -= n;
    }
    printer->used = 0;
    PutText(printer, "= ");
}

static void EndLine(FieldTextPrinter *printer)
{
    if (printer->truncated) {
        memcpy(printer->line + printer->used, "...", 3);
        printer->used += 3;
        printer->truncated = 0;
    }
    printer->line[printer->used++] = '\n';
    printer->write(printer->writeContext, printer->line, printer->used);
    printer->used = 0;
}

// Before a field: its name, as a line of its own or inside an entry line.
static void StartField(FieldTextPrinter *printer, const char *name)
{
    if (printer->depth == 0) {
        StartLine(printer);
        PutText(printer, name);
        PutText(printer, ": ");
        return;
    }
    if (!printer->first[printer->depth])
        PutText(printer, ", ");
    printer->first[printer->depth] = 0;
    PutText(printer, name);
    PutText(printer, " ");
}

static void EndField(FieldTextPrinter *printer)
{
    if (printer->depth == 0)
        EndLine(printer);
}

static void TextNumber(void *context, const char *name, uint64_t value, FieldFormat format)
{
    FieldTextPrinter *printer = (FieldTextPrinter *)context;
    char number[FIELD_NUMBER_CAPACITY];
    size_t length = FormatFieldNumber(number, value, format, 0);
    StartField(printer, name);
    Put(printer, number, length);
    EndField(printer);
}

// Text in quotes; bytes outside printable ASCII, quotes and backslashes
// escaped, so that the value stays on its line and can be told back.
static void TextText(void *context, const char *name, const char *bytes, size_t length)
{
    static const char hex[] = "0123456789ABCDEF";
    FieldTextPrinter *printer = (FieldTextPrinter *)context;
    StartField(printer, name);
    Put(printer, "\"", 1);
    for (size_t i = 0; i < length; i++) {
        unsigned char c = (unsigned char)bytes[i];
        if (c >= 0x20 && c <= 0x7E && c != '"' && c != '\\') {
            Put(printer, (const char *)&c, 1);
        } else if (c == '"' || c == '\\') {
            char escaped[2] = {'\\', (char)c};
            Put(printer, escaped, 2);
        } else {
            char escaped[4] = {'\\', 'x', hex[c >> 4], hex[c & 0xF]};
            Put(printer, escaped, 4);
        }
    }
    Put(printer, "\"", 1);
    EndField(printer);
}

static void TextBeginTable(void *context, const char *name)
{
    FieldTextPrinter *printer = (FieldTextPrinter *)context;
    if (printer->depth + 1 >= FIELD_PRINTER_LEVELS)
        return;
    if (printer->depth > 0) {
        StartField(printer, name);
        Put(printer, "[", 1);
    }
    printer->depth++;
    printer->entries[printer->depth] = 0;
    printer->first[printer->depth] = 1;
    CopyName(printer->names[printer->depth], name);
}

static void TextBeginEntry(void *context)
{
    FieldTextPrinter *printer = (FieldTextPrinter *)context;
    if (printer->depth + 1 >= FIELD_PRINTER_LEVELS)
        return;
    uint64_t index = ++printer->entries[printer->depth];
    if (printer->depth == 1) {
        char head[FIELD_PRINTER_NAME + 32];
        int n =
            snprintf(head, sizeof head, "%s[%llu]: ", printer->names[1], (unsigned long long)index);
        StartLine(printer);
        Put(printer, head, n > 0 ? (size_t)n : 0);
    } else if (index > 1) {
        PutText(printer, "; ");
    }
    printer->depth++;
    printer->first[printer->depth] = 1;
}

static void TextEndEntry(void *context)
{
    FieldTextPrinter *printer = (FieldTextPrinter *)context;
    if (printer->depth == 0)
        return;
    printer->depth--;
    if (printer->depth == 1)
        EndLine(printer);
}

static void TextEndTable(void *context, uint64_t entriesLeftOut)
{
    FieldTextPrinter *printer = (FieldTextPrinter *)context;
    if (printer->depth == 0)
        return;
    char more[64];
    printer->depth--;
    if (printer->depth == 0) {
        if (entriesLeftOut != 0) {
            int n = snprintf(more, sizeof more, ": %llu more not shown",
                             (unsigned long long)entriesLeftOut);
            StartLine(printer);
            PutText(printer, printer->names[1]);
            Put(printer, more, n > 0 ? (size_t)n : 0);
            EndLine(printer);
        }
        return;
    }
    if (entriesLeftOut != 0) {
        int n = snprintf(more, sizeof more, "%s+%llu more",
                         printer->entries[printer->depth + 1] ? "; " : "",
                         (unsigned long long)entriesLeftOut);
        Put(printer, more, n > 0 ? (size_t)n : 0);
    }
    Put(printer, "]", 1);
}

static void TextProblem(void *context, uint64_t offset, const char *text)
{
    FieldTextPrinter *printer = (FieldTextPrinter *)context;
    // Inside an entry: the entry so far on its line, the problem on the next.
    if (printer->depth > 1)
        EndLine(printer);
    char head[64];
    int n = snprintf(head, sizeof head, "problem at 0x%08llX: ", (unsigned long long)offset);
    StartLine(printer);
    Put(printer, head, n > 0 ? (size_t)n : 0);
    PutText(printer, text);
    EndLine(printer);
    if (printer->depth > 1) {
        StartLine(printer);
        PutText(printer, "  ");
    }
}

void InitFieldTextPrinter(FieldTextPrinter *printer, FieldWrite write, void *writeContext,
                          size_t indent)
{
    printer->sink = {printer,        TextNumber,   TextText,     TextBeginTable,
                     TextBeginEntry, TextEndEntry, TextEndTable, TextProblem};
    printer->write = write;
    printer->writeContext = writeContext;
    printer->indent = indent;
    printer->depth = 0;
    printer->used = 0;
    printer->truncated = 0;
}

// ---- JSON ----

static void JsonPut(FieldJsonPrinter *printer, const char *bytes, size_t count)
{
    if (count > sizeof printer->buffer - printer->used) {
        printer->write(printer->writeContext, printer->buffer, printer->used);
        printer->used = 0;
        if (count > sizeof printer->buffer) {
            printer->write(printer->writeContext, bytes, count);
            return;
        }
    }
    memcpy(printer->buffer + printer->used, bytes, count);
    printer->used += count;
}

static void JsonWrite(FieldJsonPrinter *printer, const char *text)
{
    JsonPut(printer, text, strlen(text));
}

static void JsonSeparator(FieldJsonPrinter *printer)
{
    if (!printer->first[printer->depth])
        JsonPut(printer, ",", 1);
    printer->first[printer->depth] = 0;
}

static void JsonString(FieldJsonPrinter *printer, const char *bytes, size_t length)
{
    static const char hex[] = "0123456789ABCDEF";
    char piece[6 * 64 + 2];
    size_t used = 0;
    piece[used++] = '"';
    for (size_t i = 0; i < length; i++) {
        if (used > sizeof piece - 8) {
            JsonPut(printer, piece, used);
            used = 0;
        }
        unsigned char c = (unsigned char)bytes[i];
        if (c >= 0x20 && c <= 0x7E && c != '"' && c != '\\') {
            piece[used++] = (char)c;
        } else if (c == '"' || c == '\\') {
            piece[used++] = '\\';
            piece[used++] = (char)c;
        } else {
            memcpy(piece + used, "\\u00", 4);
            piece[used + 4] = hex[c >> 4];
            piece[used + 5] = hex[c & 0xF];
            used += 6;
        }
    }
    piece[used++] = '"';
    JsonPut(printer, piece, used);
}

static void JsonKey(FieldJsonPrinter *printer, const char *name)
{
    JsonSeparator(printer);
    JsonString(printer, name, strlen(name));
    JsonPut(printer, ":", 1);
}

static void JsonNumber(void *context, const char *name, uint64_t value, FieldFormat format)
{
    FieldJsonPrinter *printer = (FieldJsonPrinter *)context;
    char number[FIELD_NUMBER_CAPACITY];
    size_t length = FormatFieldNumber(number, value, format, 1);
    JsonKey(printer, name);
    JsonPut(printer, number, length);
}

static void JsonText(void *context, const char *name, const char *bytes, size_t length)
{
    FieldJsonPrinter *printer = (FieldJsonPrinter *)context;
    JsonKey(printer, name);
    JsonString(printer, bytes, length);
}

static void JsonBeginTable(void *context, const char *name)
{
    FieldJsonPrinter *printer = (FieldJsonPrinter *)context;
    if (printer->depth + 1 >= FIELD_PRINTER_LEVELS)
        return;
    JsonKey(printer, name);
    JsonPut(printer, "[", 1);
    printer->depth++;
    printer->first[printer->depth] = 1;
    CopyName(printer->names[printer->depth], name);
}

static void JsonBeginEntry(void *context)
{
    FieldJsonPrinter *printer = (FieldJsonPrinter *)context;
    if (printer->depth + 1 >= FIELD_PRINTER_LEVELS)
        return;
    JsonSeparator(printer);
    JsonPut(printer, "{", 1);
    printer->depth++;
    printer->first[printer->depth] = 1;
}

static void JsonEndEntry(void *context)
{
    FieldJsonPrinter *printer = (FieldJsonPrinter *)context;
    if (printer->depth == 0)
        return;
    printer->depth--;
    JsonPut(printer, "}", 1);
}

static void JsonEndTable(void *context, uint64_t entriesLeftOut)
{
    FieldJsonPrinter *printer = (FieldJsonPrinter *)context;
    if (printer->depth == 0)
        return;
    char name[FIELD_PRINTER_NAME + 16];
    snprintf(name, sizeof name, "%s_left_out", printer->names[printer->depth]);
    printer->depth--;
    JsonPut(printer, "]", 1);
    if (entriesLeftOut != 0)
        JsonNumber(printer, name, entriesLeftOut, FIELD_UNSIGNED);
}

static void JsonProblem(void *context, uint64_t offset, const char *text)
{
    FieldJsonPrinter *printer = (FieldJsonPrinter *)context;
    char number[FIELD_NUMBER_CAPACITY];
    size_t length = FormatFieldNumber(number, offset, FIELD_UNSIGNED, 1);
    JsonKey(printer, "problem");
    JsonWrite(printer, "{\"offset\":");
    JsonPut(printer, number, length);
    JsonWrite(printer, ",\"text\":");
    JsonString(printer, text, strlen(text));
    JsonWrite(printer, "}");
}

void InitFieldJsonPrinter(FieldJsonPrinter *printer, FieldWrite write, void *writeContext)
{
    printer->sink = {printer,        JsonNumber,   JsonText,     JsonBeginTable,
                     JsonBeginEntry, JsonEndEntry, JsonEndTable, JsonProblem};
    printer->write = write;
    printer->writeContext = writeContext;
    printer->depth = 0;
    printer->first[0] = 1;
    printer->used = 0;
    JsonPut(printer, "{", 1);
}

void FinishFieldJsonPrinter(FieldJsonPrinter *printer)
{
    // Whatever a decoder left open is closed, so the JSON stays valid.
    while (printer->depth > 0) {
        JsonPut(printer, printer->depth % 2 == 0 ? "}" : "]", 1);
        printer->depth--;
    }
    JsonPut(printer, "}", 1);
    printer->write(printer->writeContext, printer->buffer, printer->used);
    printer->used = 0;
}
