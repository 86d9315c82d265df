// The test service's view of the interface: what the program declares, plus fields, error codes and
// exceptions of a newer service, so that the program meets replies carrying what it does not know.

namespace cpp edam_newer

enum EDAMErrorCode {
  UNKNOWN = 1, BAD_DATA_FORMAT = 2, PERMISSION_DENIED = 3, INTERNAL_ERROR = 4, DATA_REQUIRED = 5,
  LIMIT_REACHED = 6, QUOTA_REACHED = 7, INVALID_AUTH = 8, AUTH_EXPIRED = 9, DATA_CONFLICT = 10,
  ENML_VALIDATION = 11, SHARD_UNAVAILABLE = 12, LEN_TOO_SHORT = 13, LEN_TOO_LONG = 14, TOO_FEW = 15,
  TOO_MANY = 16, UNSUPPORTED_OPERATION = 17, TAKEN_DOWN = 18, RATE_LIMIT_REACHED = 19
}

exception EDAMUserException {
  1: required EDAMErrorCode errorCode,
  2: optional string parameter
}

exception EDAMSystemException {
  1: required EDAMErrorCode errorCode,
  2: optional string message,
  3: optional i32 rateLimitDuration
}

exception EDAMNotFoundException {
  1: optional string identifier,
  2: optional string key
}

struct Restrictions {
  1: optional bool noReadNotes,
  2: optional list<string> reasons
}

struct Data {
  1: optional binary bodyHash,
  2: optional i32 size,
  3: optional binary body
}

struct ResourceAttributes {
  1: optional string sourceURL,
  10: optional string fileName,
  11: optional bool attachment
}

struct Resource {
  1: optional string guid,
  2: optional string noteGuid,
  3: optional Data data,
  4: optional string mime,
  11: optional ResourceAttributes attributes,
  12: optional i32 updateSequenceNum
}

struct Note {
  1: optional string guid,
  2: optional string title,
  3: optional string content,
  4: optional binary contentHash,
  5: optional i32 contentLength,
  6: optional i64 created,
  11: optional string notebookGuid,
  13: optional list<Resource> resources,
  16: optional list<Restrictions> sharedNotes,
  18: optional Restrictions limits
}

struct Notebook {
  1: optional string guid,
  2: optional string name,
  6: optional bool defaultNotebook,
  12: optional string stack,
  13: optional list<i64> sharedNotebookIds,
  15: optional Restrictions businessNotebook,
  17: optional Restrictions restrictions,
  18: optional map<string, string> recipientSettings
}

struct User {
  1: optional i32 id,
  2: optional string username,
  7: optional i32 privilege,
  19: optional string photoUrl,
  20: optional i64 photoLastUpdated,
  22: optional Restrictions accountLimits
}

service UserStore {
  User getUser(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException)
}

service NoteStore {
  list<Notebook> listNotebooks(1: string authenticationToken)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException)

  Notebook createNotebook(1: string authenticationToken, 2: Notebook notebook)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException)

  Note createNote(1: string authenticationToken, 2: Note note)
    throws (1: EDAMUserException userException, 2: EDAMSystemException systemException,
            3: EDAMNotFoundException notFoundException)
}
