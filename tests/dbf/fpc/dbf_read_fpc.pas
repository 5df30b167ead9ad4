{ An independent reader of dBase tables, built on Free Pascal's TDbf, to check what Pontrel writes.

  dbf-read-fpc TABLE.DBF

  Prints one line with the field names, then one line per record; fields are separated by a tab.
  Each value is tagged with how TDbf read it:
    \N        NULL
    I:123     integer
    F:1.5     floating point (17 significant digits, '.' as decimal point)
    B:T, B:F  Boolean
    D:YYYYMMDD date
    S:text    text as stored; a backslash, tab, line feed and carriage return are written \\ \t \n \r
  The table is read from a copy without its production index: the TDbf that Debian ships loops on
  level-7 index tags on integer fields. Exit status 0, or 1 with a message on standard error. }
program dbf_read_fpc;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, DB, dbf, fieldvalues;

const
  MdxFlagOffset = 28;

function Escape(const S: AnsiString): AnsiString;
var
  I: Integer;
begin
  Result := '';
  for I := 1 to Length(S) do
    case S[I] of
      '\': Result := Result + '\\';
      #9: Result := Result + '\t';
      #10: Result := Result + '\n';
      #13: Result := Result + '\r';
    else
      Result := Result + S[I];
    end;
end;

function FieldText(F: TField): AnsiString;
begin
  case ValueKind(F) of
    vkNull:
      Result := '\N';
    vkInteger:
      Result := 'I:' + IntToStr(F.AsLargeInt);
    vkFloat:
      Result := 'F:' + FloatToStrF(F.AsFloat, ffGeneral, 17, 0, PointDecimals);
    vkBoolean:
      if F.AsBoolean then Result := 'B:T' else Result := 'B:F';
    vkDate:
      Result := 'D:' + FormatDateTime('yyyymmdd', F.AsDateTime);
  else
    Result := 'S:' + Escape(F.AsString);
  end;
end;

{ Copies the table alone into Folder and clears the copy's production-index flag. }
procedure CopyWithoutIndex(const Source, Target: string);
var
  Input, Output: TFileStream;
  Flag: Byte;
begin
  Input := TFileStream.Create(Source, fmOpenRead or fmShareDenyNone);
  try
    Output := TFileStream.Create(Target, fmCreate);
    try
      Output.CopyFrom(Input, 0);
      if Output.Size > MdxFlagOffset then
      begin
        Flag := 0;
        Output.Position := MdxFlagOffset;
        Output.WriteBuffer(Flag, 1);
      end;
    finally
      Output.Free;
    end;
  finally
    Input.Free;
  end;
end;

var
  Source, Folder, Copy, Line: string;
  Table: TDbf;
  I: Integer;
begin
  if ParamCount <> 1 then
  begin
    WriteLn(StdErr, 'uso: dbf-read-fpc TABLA.DBF');
    Halt(2);
  end;
  Source := ParamStr(1);
  Folder := IncludeTrailingPathDelimiter(GetTempDir(False)) + 'dbf-read-fpc-' + IntToStr(GetProcessID);
  Copy := IncludeTrailingPathDelimiter(Folder) + UpperCase(ExtractFileName(Source));
  Table := nil;
  try
    try
      ForceDirectories(Folder);
      CopyWithoutIndex(Source, Copy);
      Table := TDbf.Create(nil);
      Table.FilePathFull := Folder;
      Table.TableName := ExtractFileName(Copy);
      Table.ReadOnly := True;
      Table.Open;
      Line := '';
      for I := 0 to Table.FieldCount - 1 do
      begin
        if I > 0 then Line := Line + #9;
        Line := Line + Escape(Table.Fields[I].FieldName);
      end;
      WriteLn(Line);
      while not Table.EOF do
      begin
        Line := '';
        for I := 0 to Table.FieldCount - 1 do
        begin
          if I > 0 then Line := Line + #9;
          Line := Line + FieldText(Table.Fields[I]);
        end;
        WriteLn(Line);
        Table.Next;
      end;
      Table.Close;
    except
      on E: Exception do
      begin
        WriteLn(StdErr, Source, ': ', E.Message);
        ExitCode := 1;
      end;
    end;
  finally
    Table.Free;
    DeleteFile(Copy);
    RemoveDir(Folder);
  end;
end.
