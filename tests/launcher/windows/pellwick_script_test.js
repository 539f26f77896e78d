// A local script's view of the registered control, run by cscript. The script engine gives the
// objects it creates a site of its own, which names no page: the site lock refuses the members
// that start the reader or read the machine's identifier. Pages on the publisher's sites are
// tested from C++ (tests/launcher/windows/site_test.cpp). Every check reports its failure; the exit
// code is the number of failures (cscript under Wine exits 0 on an uncaught error, so nothing
// may escape). ASCII only: Chinese text as \u escapes.
// Usage: cscript pellwick_script_test.js
var failures = 0;

function fail(what) {
  failures++;
  WScript.Echo("FAIL: " + what);
}

function check(what, ok) {
  if (!ok) fail(what);
}

function hex(number) {
  return "0x" + (number >>> 0).toString(16);
}

// Runs `call` and expects it to throw the HRESULT `expected`.
function expectError(what, expected, call) {
  try {
    call();
    fail(what + ": no error");
  } catch (e) {
    check(what + ": error " + hex(e.number), (e.number >>> 0) == expected);
  }
}

var BAD_PARAM_COUNT = 0x8002000e;
var ACCESS_DENIED = 0x80070005;

function members() {
  var byProgId = new ActiveXObject("MYPellwick.ReadInfo");
  var byVersion = new ActiveXObject("MYPellwick.ReadInfo.1");

  expectError("GetLocalID", ACCESS_DENIED, function () {
    var id = byProgId.GetLocalID;
  });
  expectError("GetLocalID in another letter case", ACCESS_DENIED, function () {
    var id = byVersion.getlocalid;
  });
  expectError("PassReadInfoDirect", ACCESS_DENIED, function () {
    byProgId.PassReadInfoDirect("root", "A1", 2, 15, "", "\u4e66\u540d");
  });
  expectError("PassReadInfoDirectNew3", ACCESS_DENIED, function () {
    byVersion.passReadInfoDirectNew3("root", "A1", 2, 15, "", "\u4e66\u540d", 3, -1);
  });

  // These do nothing and start nothing, whatever they are given.
  byProgId.PassEncryptURL("http://127.0.0.1/book");
  byProgId.passencrypturl("");
  byVersion.PassReadInfoDirectNew2("root", "A1", 2, 15, "", "\u4e66\u540d", 3, "1", "2", "3", "4");

  expectError("too few arguments", BAD_PARAM_COUNT, function () {
    byProgId.PassReadInfoDirect("root", "A1", 2);
  });
  expectError("too many arguments", BAD_PARAM_COUNT, function () {
    byProgId.PassEncryptURL("a", "b");
  });
  expectError("too many arguments in another letter case", BAD_PARAM_COUNT, function () {
    byProgId.PASSREADINFODIRECT("root", "A1", 2, 15, "", "n", 3);
  });
  expectError("no such member", 0x800a01b6, function () {
    byProgId.OpenBook("A1");
  });
  expectError("a restricted member", 0x800a01b6, function () {
    byProgId.Release();
  });
}

try {
  members();
} catch (e) {
  fail("uncaught " + hex(e.number) + " " + e.description);
}
WScript.Quit(failures);
