#include "support/reference/bits_bit_file.h"

#include "common/file_name_codec.h"
#include "bits/bit_errors.h"
#include "bits/file_access.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr qint32 kBlockGranule = 8192;
constexpr qint32 kMaxRead = 65535;

} // namespace

void TranslateBytes(quint8* buffer, qint64 count)
{
    for (qint64 i = 0; i < count; ++i)
        buffer[i] = BitReverse[buffer[i]];
}

TBitFile::TBitFile(FileAccess& access) : m_access(access) {}

TBitFile::TBitFile() : TBitFile(FileAccess::system()) {}

TBitFile::~TBitFile()
{
    // An error cannot leave a destructor; nothing is left to write in either
    // mode (create mode never holds bits), so only the handle is released.
    if (FMode != 0)
        release();
}

void TBitFile::InitError()
{
    throw EFileBitError();
}

void TBitFile::CloseError()
{
    throw EFileBitZacr();
}

void TBitFile::Open(const QString& fileName, quint16 mode, qint32 requestedBufferSize)
{
    if (FMode != 0)
        InitError();
    FReversed = false;
    FFileName = fileName;
    if (mode != bfCreate && mode != bfRead)
        InitError();
    const int handle = m_access.open(EncodeFileName(fileName), mode == bfCreate);
    if (handle < 0)
        InitError();
    FFile = handle;
    if (requestedBufferSize < kBlockGranule)
        FBufSize = kBlockGranule;
    else
        FBufSize = qint32((qint64(requestedBufferSize) + 1) / kBlockGranule * kBlockGranule);
    FMode = mode;
    FPos = 0;
    FBufPos = 0;
    // Zeroed once per open: SetReversed translates the whole buffer, read or not.
    FBuffer = std::make_unique<quint8[]>(size_t(FBufSize));
    if (mode == bfRead) {
        const qint64 bytes = m_access.size(FFile);
        FSize = std::max<qint64>(bytes, 0) * 8;
        const qint64 got = m_access.read(FFile, FBuffer.get(), FBufSize);
        if (got < 0)
            InitError();
        FBufLimit = got * 8;
    } else {
        FSize = 0;
        FBufLimit = qint64(FBufSize) * 8;
    }
    FStatus = kBitFileOk;
}

void TBitFile::SetReversed()
{
    if (FMode == 0)
        InitError();
    FReversed = true;
    if (FMode == bfRead)
        TranslateBytes(FBuffer.get(), FBufSize);
}

bool TBitFile::readBlock()
{
    const qint64 got = m_access.read(FFile, FBuffer.get(), FBufSize);
    if (got < 0)
        return false;
    if (FReversed)
        TranslateBytes(FBuffer.get(), FBufSize);
    FBufLimit = got * 8;
    return true;
}

qint64 TBitFile::FetchBits(qint64 n)
{
    // Offsets into the buffer go through the byte pointer, so that CopyBits'
    // 32-bit bit offsets never see a large buffer's bit index.
    const auto copyOut = [this](qint64 bufferBit, qint64 count, qint64 destBit) {
        CopyBits(quint32(bufferBit % 8), quint32(count), quint32(destBit), FBuffer.get() + bufferBit / 8,
                 FBits.get());
    };
    // Strictly less: a request ending exactly at the buffer's end refills it.
    if (FBufPos + n < FBufLimit) {
        copyOut(FBufPos, n, 0);
        FPos += n;
        FBufPos += n;
        FStatus = kBitFileOk;
        return n;
    }
    const qint64 rest = FBufLimit - FBufPos;
    if (rest != 0)
        copyOut(FBufPos, rest, 0);
    if (!readBlock()) {
        FBufPos = 0;
        FBufLimit = 0;
        FStatus = kBitFileReadFailed;
        return rest;
    }
    FBufPos = std::min(n - rest, FBufLimit);
    if (FBufPos != 0)
        copyOut(0, FBufPos, rest);
    const qint64 delivered = rest + FBufPos;
    FPos += delivered;
    return delivered;
}

quint16 TBitFile::ReadBits(qint32 n)
{
    // One refill must be able to complete a piece: a buffer holds at least
    // 65536 bits.
    if (n > kMaxRead)
        throw EStrBitError();
    if (FMode == bfRead && FPos < FSize) {
        SetLen(n);
        SetLen(qint32(FetchBits(n)));
        return quint16(FStatus);
    }
    SetLen(0);
    FStatus = kBitFileEnd;
    return kBitFileEnd;
}

int TBitFile::release()
{
    const int error = m_access.close(FFile) ? 0 : errno;
    FFile = -1;
    FBuffer.reset();
    SetLen(0);
    FMode = 0;
    FStatus = kBitFileEnd;
    return error;
}

void TBitFile::Close()
{
    if (FMode == 0)
        CloseError();
    if (FMode == bfCreate) {
        const qint64 bytes = (FBufPos + 7) / 8;
        if (bytes != 0) {
            if (FReversed)
                TranslateBytes(FBuffer.get(), bytes);
            if (!m_access.write(FFile, FBuffer.get(), bytes))
                CloseError();
        }
    }
    if (const int error = release())
        throw EInOutError(QString::fromLocal8Bit(std::strerror(error)));
}
