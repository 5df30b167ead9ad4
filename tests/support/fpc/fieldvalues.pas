{ What the tests' Free Pascal readers (dbf-read-fpc with Debian's TDbf, tdbf-interop with TDbf 7)
  make of a field: which kind of value the engine read, and numbers written with '.' as decimal point
  whatever the locale. Each reader prints the kinds in its own form. }
unit fieldvalues;

{$mode objfpc}{$H+}

interface

uses
  SysUtils, DB;

type
  TValueKind = (vkNull, vkInteger, vkFloat, vkBoolean, vkDate, vkText);

{ The kind of value the field holds in the current record; NULL before its type. }
function ValueKind(F: TField): TValueKind;

{ Format settings with '.' as the decimal point, for floating-point values. }
function PointDecimals: TFormatSettings;

implementation

function ValueKind(F: TField): TValueKind;
begin
  if F.IsNull then
    Exit(vkNull);
  case F.DataType of
    ftSmallint, ftInteger, ftWord, ftLargeint, ftAutoInc:
      Result := vkInteger;
    ftFloat, ftCurrency, ftBCD, ftFMTBcd:
      Result := vkFloat;
    ftBoolean:
      Result := vkBoolean;
    ftDate, ftDateTime:
      Result := vkDate;
  else
    Result := vkText;
  end;
end;

function PointDecimals: TFormatSettings;
begin
  Result := DefaultFormatSettings;
  Result.DecimalSeparator := '.';
end;

end.
