#pragma once

#include "feedtext.h"

#include <QByteArray>

// Weekday, weekend and daily trains in December 2026 (the 7th is a Monday, the 12th a
// Saturday); on Friday the 25th the daily D2 and T4 are taken off and K3 added.
inline const QByteArray dayFeed =
    "== stops.txt\nstop_id,stop_name,stop_lat,stop_lon\n"
    "bjn,北京南,39.86,116.37\nbjx,北京西,39.89,116.32\nbj,北京,39.90,116.42\n"
    "tj,天津,39.13,117.20\ntjx,天津西,39.16,117.16\nsjz,石家庄,38.04,114.48\n"
    "shhq,上海虹桥,31.19,121.32\n"
    "== routes.txt\nroute_id,route_type\nr,2\n"
    "== calendar.txt\nservice_id,monday,tuesday,wednesday,thursday,friday,saturday,sunday,"
    "start_date,end_date\n"
    "wd,1,1,1,1,1,0,0,20261201,20261231\nwe,0,0,0,0,0,1,1,20261201,20261231\n"
    "all,1,1,1,1,1,1,1,20261201,20261231\n"
    "== calendar_dates.txt\nservice_id,date,exception_type\nall,20261225,2\nwe,20261225,1\n"
    "== trips.txt\nroute_id,service_id,trip_id,trip_short_name\n"
    "r,wd,g1,G1\nr,all,d2,D2\nr,we,k3,K3\nr,all,t4,T4\n"
    "== stop_times.txt\ntrip_id,arrival_time,departure_time,stop_id,stop_sequence\n"
    "g1,08:00:00,08:00:00,bjn,1\ng1,08:30:00,08:32:00,tj,2\ng1,13:00:00,13:00:00,shhq,3\n"
    "d2,09:00:00,09:00:00,bjx,1\nd2,11:00:00,11:00:00,sjz,2\n"
    "k3,10:00:00,10:00:00,bj,1\nk3,11:40:00,11:40:00,tjx,2\n"
    "t4,23:30:00,23:30:00,sjz,1\nt4,25:10:00,25:10:00,bjx,2\n";
