// The part of the service's published Thrift interface (version 1.21) that the program calls.
// Only the fields it reads or writes are declared: whatever else a reply carries, including what a
// newer service adds, is skipped by the generated readers.

namespace cpp edam

const i16 EDAM_VERSION_MAJOR = 1
const i16 EDAM_VERSION_MINOR = 21

enum EDAMErrorCode {
  UNKNOWN = 1,
  BAD_DATA_FORMAT = 2,
  PERMISSION_DENIED = 3,
  INTERNAL_ERROR = 4,
  DATA_REQUIRED = 5,
  LIMIT_REACHED = 6,
  QUOTA_REACHED = 7,
  INVALID_AUTH = 8,
  AUTH_EXPIRED = 9,
  DATA_CONFLICT = 10,
  ENML_VALIDATION = 11,
  SHARD_UNAVAILABLE = 12,
  LEN_TOO_SHORT = 13,
  LEN_TOO_LONG = 14,
  TOO_FEW = 15,
  TOO_MANY = 16,
  UNSUPPORTED_OPERATION = 17
}

exception EDAMUserException {
  1: required EDAMErrorCode errorCode,
  2: optional string parameter
}

exception EDAMSystemException {
  1: required EDAMErrorCode errorCode,
  2: optional string message
}

exception EDAMNotFoundException {
  1: optional string identifier,
  2: optional string key
}

struct Data {
  1: optional binary bodyHash,
  2: optional i32 size,
  3: optional binary body
}

struct ResourceAttributes {
  10: optional string fileName
}

struct Resource {
  1: optional string guid,
  2: optional string noteGuid,
  3: optional Data data,
  4: optional string mime,
  11: optional ResourceAttributes attributes
}

struct Note {
  1: optional string guid,
  2: optional string title,
  3: optional string content,
  11: optional string notebookGuid,
  13: optional list<Resource> resources
}

struct Notebook {
  1: optional string guid,
  2: optional string name
}

struct User {
  1: optional i32 id,
  2: optional string username
}

service UserStore {
  User getUser(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException)
}

service NoteStore {
  list<Notebook> listNotebooks(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException)

  Notebook createNotebook(1: string authenticationToken, 2: Notebook notebook)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException)

  Note createNote(1: string authenticationToken, 2: Note note)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException)
}
