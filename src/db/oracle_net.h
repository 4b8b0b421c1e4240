// Registration of an Oracle server's net service alias in the tnsnames.ora file of every live Oracle
// home listed by the Oracle inventory.
#pragma once

#include <pugixml.hpp>
#include <string>

namespace kestrane::db {

// The inventory location "inst_loc": inventory_loc of the oraInst.loc file, which is
// $KESTRANE_ORAINST_LOC, else the path given to SetOraInstLocFile, else /etc/oraInst.loc.
// Empty when the file or the value is missing.
std::string OracleInventoryLocation();
// Tests point the reader at a file of their own; an empty path restores the default.
void SetOraInstLocFile(std::string path);

void RegisterTnsAlias(const std::string& host, const std::string& sid, std::int32_t port);
// Appends the alias entry to tnsFile unless a line already defines the alias; lines end in CR LF.
void AddTnsEntry(const std::string& tnsFile, const std::string& host, const std::string& sid,
                 std::int32_t port);
// The element at Path ("INVENTORY/HOME_LIST") below node, names compared case-insensitively; an empty
// node when there is none.
pugi::xml_node FindXmlNode(pugi::xml_node node, const std::string& path);

}  // namespace kestrane::db
