// The file statements of the language as C++ calls. Each is a thin call into the dispatch:
// it fills the argument list, dispatches one operation and hands back the result. Statements
// that return nothing return the outcome (0 or an error code; "skipped" is 0); the others
// return their value, and the outcome is read through ERRORCODE() and the file's last_error.
// Keys are 0-based indexes into the file's FileDeclaration::keys.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "runtime/data/file_control_block.h"
#include "runtime/data/file_state.h"

namespace cinevo {

// Opening and closing.
int Open(FileControlBlock& f, uint32_t mode = kOpenDefaultMode);
int Share(FileControlBlock& f, uint32_t mode = kShareDefaultMode);
int Close(FileControlBlock& f);
int Create(FileControlBlock& f);
int Copy(FileControlBlock& f, std::string_view new_name);
int Rename(FileControlBlock& f, std::string_view new_name);
int Remove(FileControlBlock& f);

// Writing.
int Add(FileControlBlock& f);
int Add(FileControlBlock& f, uint32_t length);
int Append(FileControlBlock& f);
int Append(FileControlBlock& f, uint32_t length);
int Put(FileControlBlock& f);
int Put(FileControlBlock& f, int64_t pointer);
int Put(FileControlBlock& f, int64_t pointer, uint32_t length);
int Delete(FileControlBlock& f);

// Direct reading.
int Get(FileControlBlock& f, int key);                    // by the key's values in the buffer
int GetByPointer(FileControlBlock& f, int64_t pointer);
int GetByPointer(FileControlBlock& f, int64_t pointer, uint32_t length);
int GetByKeyPointer(FileControlBlock& f, int key, int64_t pointer);
int Reget(FileControlBlock& f, std::string_view position);
int RegetKey(FileControlBlock& f, int key, std::string_view position);

// Sequence: SET, RESET, NEXT, PREVIOUS, SKIP, and the position queries.
int Set(FileControlBlock& f);                               // file order from the start
int SetFromKey(FileControlBlock& f, int key);               // file order from the key's values
int SetFromPointer(FileControlBlock& f, int64_t pointer);   // file order from a record
int SetKey(FileControlBlock& f, int key);                   // key order from the start
int SetKeyFromKey(FileControlBlock& f, int key, int start_key);
int SetKeyFromPointer(FileControlBlock& f, int key, int64_t pointer);
int SetKeyFromKeyPointer(FileControlBlock& f, int key, int start_key, int64_t pointer);
int Reset(FileControlBlock& f, std::string_view position);
int ResetKey(FileControlBlock& f, int key, std::string_view position);
int Next(FileControlBlock& f);
int Previous(FileControlBlock& f);
int Skip(FileControlBlock& f, int64_t count);
std::string Position(FileControlBlock& f);
std::string PositionKey(FileControlBlock& f, int key);
int64_t Pointer(FileControlBlock& f);
int64_t PointerKey(FileControlBlock& f, int key);
bool Bof(FileControlBlock& f);
bool Eof(FileControlBlock& f);
int64_t Records(FileControlBlock& f);
int64_t RecordsKey(FileControlBlock& f, int key);
int64_t Bytes(FileControlBlock& f);

// Concurrency and performance.
int Hold(FileControlBlock& f);
int Hold(FileControlBlock& f, int32_t seconds);
int Release(FileControlBlock& f);
int Watch(FileControlBlock& f);
int Lock(FileControlBlock& f);
int Lock(FileControlBlock& f, int32_t seconds);
int Unlock(FileControlBlock& f);
int Stream(FileControlBlock& f);
int Flush(FileControlBlock& f);

// Transactions: LOGOUT over a set of files; when one file refuses, the files already in the
// transaction are rolled back and the refusal is returned. COMMIT and ROLLBACK go to every file
// and return the first failure.
int Logout(int32_t seconds, std::span<FileControlBlock* const> files);
int Commit(std::span<FileControlBlock* const> files);
int Rollback(std::span<FileControlBlock* const> files);

// Keys and maintenance.
int Build(FileControlBlock& f);
int BuildKey(FileControlBlock& f, int key);
int BuildIndex(FileControlBlock& f, int index, std::string_view components);
int BuildIndex(FileControlBlock& f, int index, std::string_view components,
               std::string_view filter);
int Pack(FileControlBlock& f);
int Empty(FileControlBlock& f);
bool Duplicate(FileControlBlock& f);          // the buffer would create a duplicate key
bool DuplicateKey(FileControlBlock& f, int key);
int Clear(FileControlBlock& f);
int NoMemo(FileControlBlock& f);

// Names and driver options.
std::string Name(FileControlBlock& f);
std::string Send(FileControlBlock& f, std::string_view option);

// Properties.
std::string GetProperty(FileControlBlock& f, uint32_t property, int32_t index = 0);
int SetProperty(FileControlBlock& f, uint32_t property, std::string_view value,
                int32_t index = 0);
std::string GetKeyProperty(FileControlBlock& f, int key, uint32_t property, int32_t index = 0);
int SetKeyProperty(FileControlBlock& f, int key, uint32_t property, std::string_view value,
                   int32_t index = 0);

// Property actions (DO_PROPERTY on the file, a key or a BLOB); the driver's string answer.
std::string DoProperty(FileControlBlock& f, uint32_t property, std::string_view value,
                       int32_t index = 0);
std::string DoKeyProperty(FileControlBlock& f, int key, uint32_t property, std::string_view value,
                          int32_t index = 0);
std::string DoBlobProperty(FileControlBlock& f, int blob, uint32_t property,
                           std::string_view value);

// BLOBs (numbered from 1 over the file's memos): size, reading into `dest` from `offset`
// (returns the bytes read), writing `data` at `offset`, and their properties.
int64_t BlobSize(FileControlBlock& f, int blob);
int64_t BlobRead(FileControlBlock& f, int blob, std::span<uint8_t> dest, int64_t offset);
int BlobWrite(FileControlBlock& f, int blob, std::span<const uint8_t> data, int64_t offset);
std::string BlobGetProperty(FileControlBlock& f, int blob, uint32_t property);
std::string BlobSetProperty(FileControlBlock& f, int blob, uint32_t property,
                            std::string_view value);

// Deferred BUILD: makes the next BUILD of the file run through BUILDevent.
void BuildByEvents(FileControlBlock& f, bool on);

}  // namespace cinevo
