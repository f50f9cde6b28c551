# The thermostat's unit on an MQTT broker, made from the unit without one:
# the same settings and hardening, and besides them only what a broker
# needs. Each change names the lines it replaces, so that a change there
# can't pass unnoticed.
#
#   cmake -DIN=ventrolik-thermostat.service -DOUT=... -P BrokerUnit.cmake
file(READ "${IN}" unit)
function(change from to)
  string(FIND "${unit}" "${from}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${IN} has no '${from}' for the broker's unit")
  endif()
  string(REPLACE "${from}" "${to}" changed "${unit}")
  set(unit "${changed}" PARENT_SCOPE)
endfunction()
change("Description=Ventrolik thermostat: the fan follows a temperature"
       "Description=Ventrolik thermostat on an MQTT broker: the fan follows a temperature, and Home Assistant sees and switches it")
change("After=systemd-modules-load.service"
       "After=systemd-modules-load.service network-online.target\nWants=network-online.target\n# One program at a time is in charge of the fan.\nConflicts=ventrolik-thermostat.service")
change("--config-if-there /etc/ventrolik/thermostat.toml --offline"
       "--config-if-there /etc/ventrolik/thermostat.toml")
change("Environment=EVERY=5 MIN_RUN=30"
       "Environment=EVERY=5 MIN_RUN=30 BROKER_OPTIONS=")
change("--min-run \${MIN_RUN}"
       "--min-run \${MIN_RUN} --broker \${BROKER} $BROKER_OPTIONS")
change("PrivateNetwork=yes\nIPAddressDeny=any\nRestrictAddressFamilies=none"
       "# The network, for the broker alone.\nRestrictAddressFamilies=AF_UNIX AF_INET AF_INET6\n# The login and the client's key, as files in /etc/ventrolik/broker/\n# (login, key): the program reads them as the credentials broker_login\n# and broker_key, which only this service can read.\nLoadCredential=broker:/etc/ventrolik/broker")
file(WRITE "${OUT}" "${unit}")
