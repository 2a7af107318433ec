// The X file reader: a file object that holds registered templates and opens X data (text,
// binary, and their zlib-compressed forms) into an enumeration of its top-level data objects.
// Saving is not supported: CreateSaveObject returns E_NOTIMPL.
#pragma once

#include <d3dx9core.h>

typedef DWORD D3DXF_FILEFORMAT;
#define D3DXF_FILEFORMAT_BINARY 0
#define D3DXF_FILEFORMAT_TEXT 1
#define D3DXF_FILEFORMAT_COMPRESSED 2

typedef DWORD D3DXF_FILESAVEOPTIONS;
#define D3DXF_FILESAVE_TOFILE 0x00L
#define D3DXF_FILESAVE_TOWFILE 0x01L

typedef DWORD D3DXF_FILELOADOPTIONS;
#define D3DXF_FILELOAD_FROMFILE 0x00L
#define D3DXF_FILELOAD_FROMWFILE 0x01L
#define D3DXF_FILELOAD_FROMRESOURCE 0x02L
#define D3DXF_FILELOAD_FROMMEMORY 0x03L

typedef struct _D3DXF_FILELOADRESOURCE {
  HMODULE hModule;  // null: the program's own module
  LPCSTR lpName;
  LPCSTR lpType;
} D3DXF_FILELOADRESOURCE;

typedef struct _D3DXF_FILELOADMEMORY {
  LPCVOID lpMemory;
  SIZE_T dSize;
} D3DXF_FILELOADMEMORY;

enum _D3DXFERR : HRESULT {
  D3DXFERR_BADOBJECT = MAKE_DDHRESULT(900),
  D3DXFERR_BADVALUE = MAKE_DDHRESULT(901),
  D3DXFERR_BADTYPE = MAKE_DDHRESULT(902),
  D3DXFERR_NOTFOUND = MAKE_DDHRESULT(903),
  D3DXFERR_NOTDONEYET = MAKE_DDHRESULT(904),
  D3DXFERR_FILENOTFOUND = MAKE_DDHRESULT(905),
  D3DXFERR_RESOURCENOTFOUND = MAKE_DDHRESULT(906),
  D3DXFERR_BADRESOURCE = MAKE_DDHRESULT(907),
  D3DXFERR_BADFILETYPE = MAKE_DDHRESULT(908),
  D3DXFERR_BADFILEVERSION = MAKE_DDHRESULT(909),
  D3DXFERR_BADFILEFLOATSIZE = MAKE_DDHRESULT(910),
  D3DXFERR_BADFILE = MAKE_DDHRESULT(911),
  D3DXFERR_PARSEERROR = MAKE_DDHRESULT(912),
  D3DXFERR_BADARRAYSIZE = MAKE_DDHRESULT(913),
  D3DXFERR_BADDATAREFERENCE = MAKE_DDHRESULT(914),
  D3DXFERR_NOMOREOBJECTS = MAKE_DDHRESULT(915),
  D3DXFERR_NOMOREDATA = MAKE_DDHRESULT(916),
  D3DXFERR_BADCACHEFILE = MAKE_DDHRESULT(917),
};

struct ID3DXFile;
struct ID3DXFileEnumObject;
struct ID3DXFileData;
struct ID3DXFileSaveObject;  // saving is not supported; the interface is never handed out
typedef ID3DXFile* LPD3DXFILE;
typedef ID3DXFileEnumObject* LPD3DXFILEENUMOBJECT;
typedef ID3DXFileData* LPD3DXFILEDATA;

extern "C" const IID IID_ID3DXFile;
extern "C" const IID IID_ID3DXFileEnumObject;
extern "C" const IID IID_ID3DXFileData;

struct ID3DXFile : public IUnknown {
  // Opens X data from a file path (LPCSTR), a resource (D3DXF_FILELOADRESOURCE*) or memory
  // (D3DXF_FILELOADMEMORY*). The whole file is parsed at once; any fault fails the call and
  // hands nothing out.
  virtual HRESULT STDMETHODCALLTYPE CreateEnumObject(LPCVOID source, D3DXF_FILELOADOPTIONS options,
                                                     ID3DXFileEnumObject** enumObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateSaveObject(LPCVOID data, D3DXF_FILESAVEOPTIONS options,
                                                     D3DXF_FILEFORMAT format, ID3DXFileSaveObject** saveObject) = 0;
  // Adds the template declarations of an X block (with its header) to the templates every
  // later CreateEnumObject of this file object sees.
  virtual HRESULT STDMETHODCALLTYPE RegisterTemplates(LPCVOID data, SIZE_T size) = 0;
  // Adds the templates that the enumeration's file declared.
  virtual HRESULT STDMETHODCALLTYPE RegisterEnumTemplates(ID3DXFileEnumObject* enumObject) = 0;

 protected:
  ~ID3DXFile() = default;
};

struct ID3DXFileEnumObject : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetFile(ID3DXFile** file) = 0;
  // Number of top-level data objects.
  virtual HRESULT STDMETHODCALLTYPE GetChildren(SIZE_T* children) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChild(SIZE_T index, ID3DXFileData** data) = 0;
  // Search the whole file, depth first in file order; D3DXFERR_NOTFOUND when nothing matches.
  virtual HRESULT STDMETHODCALLTYPE GetDataObjectById(REFGUID id, ID3DXFileData** data) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDataObjectByName(LPCSTR name, ID3DXFileData** data) = 0;

 protected:
  ~ID3DXFileEnumObject() = default;
};

struct ID3DXFileData : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetEnum(ID3DXFileEnumObject** enumObject) = 0;
  // Without a buffer: *size becomes the name's length plus its terminator, or 0 when unnamed.
  // With one: copies the name (D3DXFERR_BADVALUE when *size is too small).
  virtual HRESULT STDMETHODCALLTYPE GetName(LPSTR name, SIZE_T* size) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetId(GUID* id) = 0;
  // The member values packed in member order; valid while the object is held.
  virtual HRESULT STDMETHODCALLTYPE Lock(SIZE_T* size, LPCVOID* data) = 0;
  virtual HRESULT STDMETHODCALLTYPE Unlock() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetType(GUID* type) = 0;
  // TRUE for a child that names another object ({ name }); everything else describes the target.
  virtual BOOL STDMETHODCALLTYPE IsReference() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChildren(SIZE_T* children) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetChild(SIZE_T index, ID3DXFileData** data) = 0;

 protected:
  ~ID3DXFileData() = default;
};

extern "C" {
HRESULT WINAPI D3DXFileCreate(ID3DXFile** file);
}
