#pragma once

#include "bits/bit_reverse.h"
#include "common/exception.h"
#include "support/reference/bits_str_bit.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <memory>

class FileAccess;

// Replaces each of the count bytes of buffer, in place, by its BitReverse entry.
void TranslateBytes(quint8* buffer, qint64 count);

// The second word is spelt with the Latin letter p, as the program always has.
inline const QString kFileCloseErrorText = QStringLiteral("Ошибка пpи записи конца файла ");

// Raised by TBitFile::Close with its one fixed text (see Close).
class EFileBitZacr : public Exception {
public:
    EFileBitZacr() : Exception(kFileCloseErrorText) {}
};

// A failure of the operating system when a file is closed: its error text.
class EInOutError : public Exception {
public:
    explicit EInOutError(const QString& detail) : Exception(QStringLiteral("Ошибка ввода-вывода: ") + detail) {}
};

// Open modes of TBitFile.
inline constexpr quint16 bfCreate = 0x3C00; // create the file, or empty it, for writing
inline constexpr quint16 bfRead = 0x3D00;   // open an existing file for reading only

// Read statuses of TBitFile.
inline constexpr quint16 kBitFileOk = 0;
inline constexpr quint16 kBitFileReadFailed = 5;
inline constexpr quint16 kBitFileEnd = 9;

// A file read as one long sequence of bits, handed out in pieces: each
// ReadBits replaces the inherited bit string with the file's next bits. File
// byte j gives bits 8j .. 8j+7, bit 0 of the byte first, or, after
// SetReversed, bit 7 first. The file is read in blocks of FBufSize bytes.
// Bit counts are 64-bit, so a file of any size can be read.
//
// Order of use: Open, optionally SetReversed once, ReadBits as often as
// wanted, Close; the object may then be opened again. Destroying an open
// object closes its file.
class TBitFile : public TStr_Bit {
public:
    // Files are reached through access, which must outlive the object.
    explicit TBitFile(FileAccess& access);
    TBitFile();
    ~TBitFile() override;

    // Opens fileName in mode bfRead (and reads the first block) or bfCreate.
    // The buffer is 8192 bytes for a request below 8192, otherwise the request
    // plus one rounded down to a multiple of 8192. Raises EFileBitError (the
    // fixed text) when already open, for another mode, when the file cannot be
    // opened or created, or when the first block cannot be read; after a
    // failed first read the object is open and Close or the destructor
    // closes it.
    void Open(const QString& fileName, quint16 mode, qint32 requestedBufferSize);
    // Delivers every later bit, those of the block already read too, most
    // significant first within its byte. Raises EFileBitError when closed.
    void SetReversed();
    // The bit string becomes the file's next n bits (0 <= n <= 65535, else
    // EStrBitError), fewer at the end of the file. Returns kBitFileOk, or
    // kBitFileReadFailed when a block read failed: the string then holds only
    // the bits that were left in the buffer and the next call tries the file
    // again. Returns kBitFileEnd with an empty string once every bit has been
    // delivered, when closed, or in create mode.
    quint16 ReadBits(qint32 n);
    // The file's size in bits, taken when it was opened (0 in create mode).
    qint64 BitSize() const { return FSize; }
    // Closes the file and releases the buffer. Raises EFileBitZacr when
    // already closed, and EInOutError when the operating system reports a
    // failed close (the object is closed even then).
    void Close();

    quint16 mode() const { return quint16(FMode); }
    qint32 status() const { return FStatus; }
    qint32 bufferSize() const { return FBufSize; }
    bool isReversed() const { return FReversed; }
    // Bits delivered since the file was opened.
    qint64 position() const { return FPos; }
    // Index, within the buffer, of the next bit to deliver.
    qint64 bufferPosition() const { return FBufPos; }

private:
    [[noreturn]] static void InitError();
    [[noreturn]] static void CloseError();
    // Moves up to n bits from the buffer into the bit string (whose length is
    // n), refilling the buffer once when they reach its end. Returns the
    // number of bits delivered.
    qint64 FetchBits(qint64 n);
    // Reads the next block into the buffer; false when the read failed.
    bool readBlock();
    // Closes the handle and resets every field; returns the close's errno, or 0.
    int release();

    FileAccess& m_access;
    qint64 FPos = 0;
    qint64 FBufPos = 0;
    qint64 FBufLimit = 0;
    qint64 FSize = 0;
    int FFile = -1;
    QString FFileName;
    bool FReversed = false;
    qint32 FBufSize = 0;
    qint32 FMode = 0;
    std::unique_ptr<quint8[]> FBuffer;
    qint32 FStatus = 0;
};
