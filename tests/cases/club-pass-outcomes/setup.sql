INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('FRA3070340004', 'Null', 0);
INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('FRA7149710003', 'Pointe-à-Pitre Nautique', 0);
INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('FRA4090130021', 'Club nautique', 0);
INSERT INTO Club (Code_federal, Intitule, Selection) VALUES ('FRA5110750001', 'Orléans', 0);
